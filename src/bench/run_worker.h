// The body of every benchmark thread.
#pragma once

#include "bench/worker_context.h"

namespace brisk {

// Places the thread, builds and initialises its workload, meets the others
// three times, steps until the run's duration has passed on the coarse timer,
// validates and appends one ThreadResult. On any failure it prints the reason,
// requests the run-wide stop before arriving at its current meeting point (so
// nobody waits for it), and leaves without a result.
void run_worker(WorkerContext context);

}  // namespace brisk
