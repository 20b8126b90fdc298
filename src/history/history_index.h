// The cache of document summaries that makes reading a large history fast.
// It lives outside the results folder (which may be shared and is never
// rewritten) and is only ever a copy: the documents stay the truth.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_entry.h"

namespace brisk {

// The index text for `folder`'s entries.
std::string render_index(const std::string& folder, const std::vector<HistoryEntry>& entries);

// The entries of an index of `folder`; false (and `out` empty) when the text
// is not such an index: corrupt, truncated, of another version or of another
// folder. Never throws.
bool parse_index(std::string_view text, const std::string& folder, std::vector<HistoryEntry>& out);

// The whole file at `path` (UTF-8) when it is at most `max_bytes` long.
std::optional<std::string> read_small_file(const std::string& path, std::uint64_t max_bytes);

}  // namespace brisk
