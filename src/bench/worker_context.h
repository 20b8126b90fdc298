// What one benchmark thread receives. Each thread owns its copy; the
// references point to objects of the run, which outlive every worker.
#pragma once

#include <cstdint>
#include <mutex>
#include <stop_token>

#include "bench/phase_barrier.h"
#include "bench/progress_board.h"
#include "bench/run_params.h"
#include "bench/run_result.h"
#include "platform/timers.h"

namespace brisk {

struct WorkerContext {
  std::uint32_t thread_index;
  const RunParams& params;
  RunResult& result;
  std::mutex& console_mutex;    // every console write a worker makes
  std::mutex& results_mutex;    // appending to result.results
  PhaseBarrier& phase_barrier;  // its verdict: was a stop requested by then?
  std::stop_source& stop_source;
  ProgressBoard& progress;
  FastTimer fast_timer;
  CoarseTimer coarse_timer;
  bool reporter;  // thread 0 prints the status and progress lines
};

}  // namespace brisk
