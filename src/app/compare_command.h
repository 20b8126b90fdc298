// brisk compare: results files (or saved results) compared with the first,
// on the console and in the comparison files asked for.
#pragma once

#include <string>
#include <vector>

#include "compare/comparison.h"

namespace brisk {

// Exit status of a comparison whose --fail-slower gate tripped.
inline constexpr int kSignificantlySlower = 3;

// The whole command; `args` are the words after "compare". Returns 0, 1 (bad
// usage or an unreadable input: nothing compared), 2 (a comparison file could
// not be written) or 3 (--fail-slower tripped).
int run_compare_command(const std::vector<std::string>& args);

// Whether every argument names an existing .json file: what Windows passes
// when results files are dropped onto brisk.exe.
bool looks_like_dropped_files(const std::vector<std::string>& args);

// The usage lines of brisk compare and brisk history, for --help.
std::vector<std::string> command_help_lines();

}  // namespace brisk
