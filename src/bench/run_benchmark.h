// One benchmark run: settings in, verdict and score out.
#pragma once

#include "bench/bench_config.h"
#include "bench/run_outcome.h"
#include "bench/run_seams.h"
#include "platform/topology.h"

namespace brisk {

// Resolves the thread count (0 = automatic), the threading manager's plan, the
// field allocator and the clamped duration, performs the run and aggregates
// it. Asks `topology` only when the automatic count or a plan needs it.
RunOutcome run_benchmark(BenchConfig config, TopologyHolder& topology);
// The same with replaced seams (tests).
RunOutcome run_benchmark(BenchConfig config, TopologyHolder& topology, const RunSeams& seams);

}  // namespace brisk
