// One run from resolved settings to the collected thread results.
#pragma once

#include "bench/run_params.h"
#include "bench/run_result.h"

namespace brisk {

// Prints the processor and run banner, makes the checks that may refuse the
// run (ISA support, HWBOT timer rule, counter overflow), starts
// threading_manager.thread_count - 1 threads plus worker 0 on the calling
// thread, joins them all and returns what they produced. A refusal returns no
// results with `aborted` false; a worker failure (or a thread the system would
// not start) returns `aborted` true. Never leaves a thread running.
RunResult execute_run(const RunParams& params);

}  // namespace brisk
