// Performs the benchmark runs of an invocation: generates the sweep points,
// announces them, runs each one sub_runs times and prints the results table.
#pragma once

#include "bench/bench_config.h"
#include "harness/harness_run.h"
#include "harness/harness_settings.h"
#include "platform/topology.h"

namespace brisk {

void run_harness(harness_settings& settings, const BenchConfig& config, TopologyHolder& topology);
// The same with a given context (its `perform` lets tests stand in for the
// benchmark run).
void run_harness(harness_settings& settings, const brisk_harness_context& context);

}  // namespace brisk
