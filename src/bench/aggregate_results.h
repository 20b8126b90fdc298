// The verdict of a run: the per-thread table, the timer cross-check and the
// final score.
#pragma once

#include <cstdint>

#include "bench/run_outcome.h"
#include "bench/run_result.h"

namespace brisk {

// The fast and coarse spans of one thread may differ by at most this much.
inline constexpr std::int64_t kTimerToleranceMs = 31;

// Prints the verdict of `result` (standard output, the invalid-result box and
// its reasons on standard error) and returns the outcome; the score is only
// set for a valid run.
RunOutcome aggregate_results(const RunResult& result);

}  // namespace brisk
