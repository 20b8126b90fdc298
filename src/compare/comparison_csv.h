// The comparison as CSV (RFC 4180): one row per compared file and sweep point,
// numbers at full precision, for sorting and filtering in a spreadsheet.
#pragma once

#include <string>

#include "compare/comparison.h"

namespace brisk {

// The header row, one row per matched point of every file, then one row per
// file and point that only one side has (verdict "only in base" or "not in
// base", no numbers). Rows end with CR LF; a missing number is an empty field.
std::string render_comparison_csv(const Comparison& comparison);

}  // namespace brisk
