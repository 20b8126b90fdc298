// Test helper: one in-process run with the test workload, bounded in time,
// with its console output captured.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "bench/aggregate_results.h"
#include "bench/bounded.h"
#include "bench/console_capture.h"
#include "bench/execute_run.h"
#include "memory/field_allocator.h"
#include "bench/run_params.h"
#include "bench/test_workload.h"
#include "platform/threading.h"

namespace brisk::test {

struct RunRecord {
  RunResult result;
  RunOutcome outcome;
  std::string out;
  std::string err;
  std::string all;
  int made = 0;
  int destroyed = 0;
};

inline const char* const kInvalidBox =
    "==================\n  invalid result \n==================\n";

// Runs `threads` workers for one second on the test workload failing as
// `plan` says; `adjust` may change the seams further.
template <typename Adjust>
RunRecord perform_run(std::uint32_t threads, FailurePlan plan, Adjust adjust) {
  WorkloadCounters counters;
  RunSeams seams = test_seams(plan, counters);
  adjust(seams);
  RunRecord record;
  {
    ConsoleCapture console;
    std::pair<RunResult, RunOutcome> run = run_bounded([&] {
      const FieldAllocator allocator{false};
      ThreadingManager manager;
      manager.thread_count = threads;
      const RunParams params{allocator, manager, "test", "sse2", false, 1, 64, false, "os", seams};
      RunResult result = execute_run(params);
      const RunOutcome outcome = aggregate_results(result);
      return std::make_pair(std::move(result), outcome);
    });
    record.result = std::move(run.first);
    record.outcome = run.second;
    record.out = console.out();
    record.err = console.err();
    record.all = console.all();
  }
  record.made = counters.made;
  record.destroyed = counters.destroyed;
  return record;
}

inline RunRecord perform_run(std::uint32_t threads, FailurePlan plan) {
  return perform_run(threads, plan, [](RunSeams&) {});
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace brisk::test
