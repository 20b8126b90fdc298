// The harness settings the driver owns and the three harness options fill.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harness/harness_run.h"

namespace brisk {

struct harness_settings;

// Where the results files follow a sweep; an empty hook is not called.
struct SweepHooks {
  // The points are generated and announced; no run has started.
  std::function<void(const harness_settings&)> points_ready;
  // A run of runs[point_index] has ended; its outcome is the last of that
  // point's results.
  std::function<void(const harness_settings&, std::size_t point_index)> run_done;
};

struct harness_settings {
  std::uint32_t pause_ms = 1;     // pause after every single run
  std::uint32_t sub_runs = 3;     // "--harness-sub-runs"
  std::vector<harness_run> runs;  // the generated sweep points, filled by the runner
  std::string var = "none";       // "--harness-var"
  std::string option_string;      // "--harness-opt"
  SweepHooks hooks;
};

}  // namespace brisk
