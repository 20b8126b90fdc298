// Everything the workers of one run produced, as the aggregation reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/run_conditions.h"
#include "bench/step_marks.h"
#include "bench/thread_result.h"

namespace brisk {

struct RunResult {
  bool aborted = false;            // a worker requested a stop; false after a refusal
  std::uint32_t thread_count = 0;  // benchmark threads of the run
  // One entry per thread that finished, in finishing order. Room for
  // thread_count entries is reserved before any thread starts, so appending
  // never reallocates while others read the vector's size.
  std::vector<ThreadResult> results;
  std::string_view workload;  // names for the verdict line
  std::string_view isa;
  // The lines the run printed on standard error (report_error), guarded by
  // the console lock while workers run.
  std::vector<std::string> messages;
  // "initialization took" as worker 0 printed it; none when it never got there.
  std::optional<std::int64_t> init_ms;
  // Every thread's steps at each whole second of its timed loop, reserved
  // with `results`; each worker writes only its own row.
  StepMarks marks;
  // What else the machine did while the workers ran; all unknown when they
  // never started.
  RunConditions conditions;
  bool workers_started = false;  // the checks passed and the launch began
};

}  // namespace brisk
