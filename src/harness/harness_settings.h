// The harness settings the driver owns and the three harness options fill.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "harness/harness_run.h"

namespace brisk {

struct harness_settings {
  std::uint32_t pause_ms = 1;     // pause after every single run
  std::uint32_t sub_runs = 3;     // "--harness-sub-runs"
  std::vector<harness_run> runs;  // the generated sweep points, filled by the runner
  std::string var = "none";       // "--harness-var"
  std::string option_string;      // "--harness-opt"
};

}  // namespace brisk
