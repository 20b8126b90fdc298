// One sweep point of the harness and what its generators read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_config.h"
#include "bench/run_outcome.h"
#include "platform/topology.h"

namespace brisk {

// What a generator receives besides the option string; the settings are read
// when a point is performed, not when it is generated.
struct brisk_harness_context {
  const BenchConfig* config = nullptr;
  TopologyHolder* topology = nullptr;
  // What a point calls to perform its run; empty means run_benchmark. Tests
  // put a recorder here to see the settings a point would run with.
  std::function<RunOutcome(const BenchConfig&, TopologyHolder&)> perform;
};

struct harness_run {
  std::string label;                // "none", a decimal number or an ISA name
  std::uint32_t estimate_s = 0;     // expected length of one run, seconds
  std::function<RunOutcome()> run;  // performs one benchmark run of this point
  std::vector<RunOutcome> results;  // one entry per sub-run, filled by the runner
};

}  // namespace brisk
