// JSON as brisk's results files lay it out: indented like any pretty-printed
// document down to the arrays, but every array of plain values, and every
// element of an array that holds no deeper than one level of containers, on a
// line of its own without blanks. A per-thread second-by-second timeline of a
// large machine is then one line per thread instead of one per number, which
// halves the file and keeps it readable for people, jq and Python alike.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace brisk {

// Appends `value` laid out as above to `out`, as if it stood at nesting level
// `depth` (two blanks of indentation per level; its first line is not
// indented, its closing bracket is). Text that is not valid UTF-8 has the
// offending bytes replaced. No newline after the value.
void append_compact_json(std::string& out, const nlohmann::ordered_json& value, int depth = 0);

// The indentation of nesting level `depth`.
void append_indent(std::string& out, int depth);

}  // namespace brisk
