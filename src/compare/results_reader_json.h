// Turning untrusted text into a JSON tree without trusting it: the bytes are
// checked to be UTF-8 first, and nesting deeper than a bound stops the parser
// where it stands, so no input makes it recurse deeply, run long or allocate
// without limit.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// Deeper than any results document (whose deepest value sits at level 6).
inline constexpr std::size_t kMaxJsonDepth = 64;

// The 1-based position of the first byte of `text` that does not belong to a
// well-formed UTF-8 sequence (overlong forms, surrogates and code points above
// U+10FFFF included); none when all of it is UTF-8.
std::optional<std::size_t> first_invalid_utf8(std::string_view text);

// Parses `text` as one JSON value into `out`. On failure returns what is
// wrong and where, by 1-based byte position: "not UTF-8: ...", "not JSON:
// ...", "the document ends in the middle of a value ... (a truncated file?)",
// "not a brisk results document: nested deeper than 64 levels". Never throws.
std::optional<std::string> parse_json_bounded(std::string_view text, nlohmann::json& out);

// The same, keeping only what parse_json_pruned keeps (kept_parts.h), within
// the same memory budget: "not a brisk results document: ..." beyond it.
std::optional<std::string> parse_json_kept(std::string_view text, nlohmann::json& out);

}  // namespace brisk
