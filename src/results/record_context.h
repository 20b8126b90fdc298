// Filling the parts of the results record that describe where and how the
// invocation runs: the program, the machine, the timers and the settings.
#pragma once

#include <string>
#include <vector>

#include "bench/bench_config.h"
#include "platform/topology.h"
#include "results/results_record.h"

namespace brisk {

// The sweep as the command line asked for it, before its points exist.
struct SweepRequest {
  std::string variable;
  std::string option;
  std::uint32_t sub_runs = 0;
};

// A record with no runs: the program, the machine (asked now), the timers
// (probed now), `config` and the sweep without points, started now.
ResultsRecord start_record(const std::vector<std::string>& command_line, const BenchConfig& config,
                           const SweepRequest& sweep, TopologyHolder& topology);

// Marks the record finished, now.
void finish_record(ResultsRecord& record);

// The feature list as the run prints it, one name per entry.
std::vector<std::string> split_feature_list(const std::string& list);

}  // namespace brisk
