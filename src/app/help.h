// What "--help" prints: the usage text, the memory each grid size needs per
// thread, and a closing notice.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "argparse/parser.h"

namespace brisk {

// The line printed after the grid-size table.
inline constexpr std::string_view kHelpClosingNotice =
    "Each benchmark thread needs the memory listed for its grid size; the automatic thread "
    "count stays within free physical memory when at least one thread fits.";

// The header and one row per allowed grid size with its field memory per thread.
std::vector<std::string> grid_size_table_lines();

// Every line of the help, without line ends: the usage text, an empty line,
// the grid-size table and the closing notice.
std::vector<std::string> help_lines(const argparse::Parser& parser, std::string_view program);

}  // namespace brisk
