// The quick way to read a well-formed results document: one pass over the
// text that builds only the parts a reader looks at. A fleet's documents are
// mostly per-thread details, and nlohmann's parser spends most of its time on
// them; here they are checked to be JSON and dropped.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

namespace brisk {

// Parses `text`, which must already be valid UTF-8, into `out`, leaving out
// the parts kept_parts.h drops (the document's "summary", each run's
// "threads", its timeline's "threads" and "threads_clock_mhz"): their text is
// still checked to be JSON within kMaxJsonDepth, nothing of it is kept. Every value kept is what
// nlohmann's parser would give (the last of repeated keys wins; integers unsigned, signed or, past
// 64 bits, double). Returns false, with `out` unspecified, for any text it cannot take exactly as
// nlohmann's parser would: a syntax error, nesting deeper than kMaxJsonDepth, a byte order mark, a
// number that does not convert cleanly, a tree beyond kept_bytes_limit. parse_json_bounded then
// gives the verdict and its words. Never throws.
bool parse_json_pruned(std::string_view text, nlohmann::json& out);

}  // namespace brisk
