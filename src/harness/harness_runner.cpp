#include "harness/harness_runner.h"

#include <iostream>

namespace brisk {

// Placeholder until the engine lands: the run path parses but does not run.
void run_harness(harness_settings&, const BenchConfig&, TopologyHolder&) {
  std::cerr << "the benchmark run is not built yet" << std::endl;
}

}  // namespace brisk
