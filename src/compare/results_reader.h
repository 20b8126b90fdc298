// Reading results documents that may come from anyone: every byte is checked
// before it is believed. The size is bounded before reading, the nesting depth
// while parsing, and every number before it reaches arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compare/results_document.h"

namespace brisk {

// Largest results file read at all: what brisk writes for the largest machine
// it is made for. The default threads sweep of a 384-core server (3 sub-runs
// of 30 s at every count from 1 to 383) is 267 MB in the indented layout of
// earlier brisks, about half of that in today's; the limit takes either, with
// room to spare. Peak memory stays near the file's size: the text is read
// whole, its per-thread detail is dropped while parsing (kept_parts.h).
inline constexpr std::uint64_t kMaxResultsFileBytes = 384ull << 20;

// Parses the text of a results document (schema "brisk-results", version 1)
// into `out`. On failure returns what is wrong, in words that name the place
// ("not JSON: syntax error at byte 1234: ...", "results schema version 3 is
// newer than version 1, the newest this brisk reads", "runs[3].score: expected
// a number") and leaves `out` unspecified. Never throws, whatever the text.
// Members it does not know are ignored; every value it keeps is bounded to
// what brisk can write. A run of a label that sweep.points repeats goes to the
// first occurrence of that label that has no run with its sub_run yet.
std::optional<std::string> parse_results_document(std::string_view text, ResultsDocument& out);

// Reads the file at `path` (UTF-8; any Unicode name on Windows) and parses it.
// On failure returns the whole line for standard error:
//   cannot read results file "<path>": <what is wrong>
std::optional<std::string> load_results_file(const std::string& path, ResultsDocument& out);

}  // namespace brisk
