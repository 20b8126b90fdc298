// Linux: where a path given as a file to write really leads.
#pragma once

#include <optional>
#include <string>

namespace brisk {

// A link given as the target is written through: the file it points to gets
// the new contents and the link stays a link, as with any editor's save.
// Replaces `path` by the file it leads to; relative link targets count from
// the link's folder; a chain is followed as far as the kernel itself would.
// On failure returns the system's reason.
std::optional<std::string> follow_links(std::string& path);

}  // namespace brisk
