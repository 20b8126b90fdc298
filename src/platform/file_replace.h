// Replacing a file's contents so that a reader, a crash or a power cut never
// sees it half-written: the new contents go to a temporary file beside the
// target, are flushed to the disk, and the temporary file is then renamed
// over the target.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// Makes `path` (UTF-8; on Windows any Unicode name) hold exactly `contents`.
// On success returns nothing; on failure returns the system's reason ("No such
// file or directory", "Access is denied.", ...), leaves whatever stood at
// `path` untouched and removes the temporary file.
std::optional<std::string> replace_file_atomically(const std::string& path,
                                                   std::string_view contents);

}  // namespace brisk
