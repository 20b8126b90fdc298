#include "platform/file_read.h"

#include <fmt/format.h>

#include <filesystem>

namespace brisk {

std::string file_too_large_reason(std::uint64_t size, std::uint64_t max_bytes) {
  return fmt::format("is {} bytes, larger than the limit of {} bytes", size, max_bytes);
}

bool is_regular_file_utf8(const std::string& path_utf8) {
  // A UTF-8 path: the standard library hands it to the wide API on Windows,
  // and throws when the text is not UTF-8 (a name no file can have there).
  try {
    std::error_code error;
    const std::filesystem::path path(std::u8string(path_utf8.begin(), path_utf8.end()));
    return std::filesystem::is_regular_file(path, error);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace brisk
