// The program: choose the action for the command line, perform it, return
// the exit status.
#pragma once

#include "app/dispatch.h"
#include "platform/topology.h"

namespace brisk {

// Prints or runs what `dispatch` says; returns the exit status.
int perform_action(const Dispatch& dispatch, DriverSettings& settings, TopologyHolder& topology);

// The whole invocation, from the argument vector to the exit status.
int run_driver(int argc, const char* const* argv);

}  // namespace brisk
