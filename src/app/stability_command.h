// brisk stability: one benchmark thread on one logical processor at a time,
// over every processor of the topology, each computing standing_wave with its
// whole grid compared bit for bit; a table of what every processor computed.
#pragma once

#include <string>
#include <vector>

#include "bench/run_seams.h"
#include "platform/topology.h"

namespace brisk {

// Exit status when some processor computed a wrong value.
inline constexpr int kWrongValueComputed = 4;

// The whole command; `args` are the words after "stability", `command_line`
// the invocation for the results document. Returns 0 (every processor ok),
// 1 (bad usage, a missing instruction set, or a processor that could not be
// checked at all), 2 (a results file could not be written) or 4 (a processor
// computed a wrong value).
int run_stability_command(const std::vector<std::string>& args,
                          const std::vector<std::string>& command_line, TopologyHolder& topology);
// The same with replaced run seams (tests).
int run_stability_command(const std::vector<std::string>& args,
                          const std::vector<std::string>& command_line, TopologyHolder& topology,
                          const RunSeams& seams);

// The usage lines of brisk stability, for --help.
std::vector<std::string> stability_help_lines();

}  // namespace brisk
