#include "bench/phase_barrier.h"

#include <algorithm>

namespace brisk {

bool PhaseBarrier::arrive_and_wait() {
  std::unique_lock lock(mutex_);
  const std::uint64_t phase = generation_;
  ++arrived_;
  if (arrived_ >= expected_) {
    complete_phase_locked();
    return last_verdict_;
  }
  // The generation only moves forward, so a spurious wake-up or a late
  // notification can neither release us early nor make us miss our phase.
  released_.wait(lock, [&] { return generation_ != phase; });
  // No later phase can have completed (and replaced the verdict) yet: it
  // would need our own arrival.
  return last_verdict_;
}

void PhaseBarrier::drop(std::uint32_t count) {
  std::lock_guard lock(mutex_);
  expected_ -= std::min(count, expected_);
  if (arrived_ > 0 && arrived_ >= expected_) complete_phase_locked();
}

std::uint32_t PhaseBarrier::expected() const {
  std::lock_guard lock(mutex_);
  return expected_;
}

void PhaseBarrier::complete_phase_locked() {
  last_verdict_ = verdict_ ? verdict_() : false;
  arrived_ = 0;
  ++generation_;
  released_.notify_all();
}

}  // namespace brisk
