// Linux passes the arguments as the bytes the user typed; in a UTF-8 locale
// they already are UTF-8.
#include "platform/command_line.h"

namespace brisk {

std::vector<std::string> command_line_utf8(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
    arguments.emplace_back(argv[i]);
  }
  return arguments;
}

}  // namespace brisk
