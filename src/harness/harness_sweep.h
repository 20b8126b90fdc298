// Performing generated sweep points: announcements, estimate, the runs and the
// results table. run_harness generates the points and hands them here.
#pragma once

#include <cstdint>
#include <ostream>

#include "harness/harness_settings.h"

namespace brisk {

// Whole seconds the sweep in `settings.runs` is expected to take: the pauses
// plus sub_runs times every point's estimate (in 64 bits, so a huge sub-run
// count cannot wrap the estimate).
std::uint64_t estimate_total_seconds(const harness_settings& settings);

// Announces the points of `settings.runs` and the estimate, performs every
// point sub_runs times with the pause after each run, storing the outcomes,
// and prints the results table. When the results of that many runs could not
// even be stored it says so on standard error and runs nothing.
void perform_sweep(harness_settings& settings);

// The table of every point's outcomes with their average and spread; one run
// column per sub-run, none when there are no points.
void print_results_table(const harness_settings& settings, std::ostream& out);

// One warning line on `err` per point whose scores spread more than
// kNoisySpreadPercent.
void warn_noisy_points(const harness_settings& settings, std::ostream& err);

}  // namespace brisk
