// brisk history: the saved results, newest first, with their exports.
#pragma once

#include <string>
#include <vector>

namespace brisk {

// The whole command; `args` are the words after "history". Returns 0, 1 (bad
// usage) or 2 (an export file could not be written).
int run_history_command(const std::vector<std::string>& args);

}  // namespace brisk
