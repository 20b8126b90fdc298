// The comparison as a JSON document ("brisk-comparison", version 1, described
// by schema/brisk-comparison.schema.json): every file with its stable context
// and its own points, the differences, every matched row and every unmatched
// point. The HTML comparison page draws itself from this document.
#pragma once

#include <string>

#include "compare/comparison.h"

namespace brisk {

inline constexpr std::string_view kComparisonSchemaName = "brisk-comparison";
inline constexpr int kComparisonSchemaVersion = 1;

// The whole document, indented by two, ended by a line feed. A missing or
// non-finite number is written as null; invalid UTF-8 in a text becomes U+FFFD.
std::string render_comparison_json(const Comparison& comparison);

}  // namespace brisk
