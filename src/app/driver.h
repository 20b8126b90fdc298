// The program: choose the action for the command line, perform it, return
// the exit status.
#pragma once

#include <string>
#include <vector>

#include "app/dispatch.h"
#include "platform/topology.h"

namespace brisk {

// Prints or runs what `dispatch` says; returns the exit status: 1 for a
// rejected command line or a results file that cannot be written, 2 when a
// results file could not be kept up to date, 0 otherwise. `command_line` goes
// into the results files.
int perform_action(const Dispatch& dispatch, DriverSettings& settings, TopologyHolder& topology,
                   const std::vector<std::string>& command_line);

// The whole invocation, from the argument vector to the exit status; also 2
// when standard output could not be written.
int run_driver(int argc, const char* const* argv);

}  // namespace brisk
