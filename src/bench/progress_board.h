// Live per-thread progress: each worker writes its own slot, the reporter
// reads all of them without a lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace brisk {

// One slot per thread, each in its own 128-byte block so that two threads
// never write into the same cache line (or adjacent-line prefetch pair).
// Both values are read and written with relaxed atomics: the reporter may see
// one thread's pair from two different iterations, which is harmless.
struct alignas(128) ProgressSlot {
  std::atomic<std::uint64_t> iterations{0};
  std::atomic<double> mgups{0.0};
};
static_assert(sizeof(ProgressSlot) == 128);
static_assert(std::atomic<double>::is_always_lock_free);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

class ProgressBoard {
 public:
  ProgressBoard() = default;
  // `count` zeroed slots. Throws std::bad_alloc when they cannot be obtained;
  // the run turns that into a refusal before any thread starts.
  explicit ProgressBoard(std::uint64_t count)
      : count_(count), slots_(std::make_unique<ProgressSlot[]>(static_cast<std::size_t>(count))) {}

  std::uint64_t slot_count() const { return count_; }
  ProgressSlot& slot(std::uint64_t index) { return slots_[index]; }
  const ProgressSlot& slot(std::uint64_t index) const { return slots_[index]; }

 private:
  std::uint64_t count_ = 0;
  std::unique_ptr<ProgressSlot[]> slots_;
};

}  // namespace brisk
