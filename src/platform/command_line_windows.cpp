// Windows: the narrow argv went through the ANSI code page and may have lost
// characters; the wide command line still holds them.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <memory>

#include "platform/command_line.h"
#include "platform/utf16_windows.h"

namespace brisk {
namespace {

std::vector<std::string> narrow_arguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
    arguments.emplace_back(argv[i]);
  }
  return arguments;
}

struct LocalFreeDeleter {
  void operator()(LPWSTR* p) const { LocalFree(p); }
};

}  // namespace

std::vector<std::string> command_line_utf8(int argc, const char* const* argv) {
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreeDeleter> wide(
      CommandLineToArgvW(GetCommandLineW(), &count));
  // The C runtime split the same line into argv; a different count means
  // the two disagree about the arguments, and argv is what the caller holds.
  if (!wide || count != argc) return narrow_arguments(argc, argv);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::optional<std::string> utf8 = windows_text::to_utf8(wide.get()[i]);
    if (!utf8) return narrow_arguments(argc, argv);
    arguments.push_back(std::move(*utf8));
  }
  return arguments;
}

}  // namespace brisk
