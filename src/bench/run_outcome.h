// What one benchmark run returns to the harness.
#pragma once

namespace brisk {

struct RunOutcome {
  double score = 0.0;  // sum of the per-thread MGups; written only for a valid run
  bool valid = false;  // every thread produced a result and the timers agreed
};

}  // namespace brisk
