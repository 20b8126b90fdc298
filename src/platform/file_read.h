// Reading a whole file whose size is not to be trusted: the size is checked
// before a byte is read, and reading stops if the file turns out longer than
// it said.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisk {

// Reads the regular file at `path_utf8` (on Windows any Unicode name) into
// `contents`. On failure returns the reason and leaves `contents` empty:
// the system's words when it cannot be opened ("No such file or directory"),
// "is a folder", "is not a regular file" (a device, a pipe), "is <n> bytes,
// larger than the limit of <max_bytes> bytes" (decided before reading), or
// "changed while it was read". An empty file is a success with no contents.
std::optional<std::string> read_file_bounded(const std::string& path_utf8, std::uint64_t max_bytes,
                                             std::string& contents);

// Whether `path_utf8` (on Windows any Unicode name) is an existing regular
// file, following links.
bool is_regular_file_utf8(const std::string& path_utf8);

// The reason read_file_bounded gives for a file of `size` bytes over
// `max_bytes`; shared by the backends so both say it the same way.
std::string file_too_large_reason(std::uint64_t size, std::uint64_t max_bytes);

}  // namespace brisk
