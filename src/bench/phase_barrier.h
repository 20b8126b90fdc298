// The meeting point of a run's worker threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace brisk {

// A reusable barrier on a mutex and a condition variable with a generation
// counter. std::barrier (and std::latch / std::atomic::wait, which share its
// waiting code) loses wake-ups in the MinGW build, so we keep our own on every
// platform.
//
// Each phase ends with one verdict, taken once by whoever completes the phase
// and handed to every participant of that phase. Workers use it to decide
// together whether the run goes on: if each asked the stop flag on its own
// after waking, a stop requested just after the phase ended could send one
// thread home while the rest wait for it at the next meeting forever.
class PhaseBarrier {
 public:
  // `verdict` is called under the barrier's lock when a phase completes; no
  // verdict means every phase answers false.
  explicit PhaseBarrier(std::uint32_t participants, std::function<bool()> verdict = {})
      : expected_(participants), verdict_(std::move(verdict)) {}
  PhaseBarrier(const PhaseBarrier&) = delete;
  PhaseBarrier& operator=(const PhaseBarrier&) = delete;

  // Arrives at the current phase and blocks until every expected participant
  // has arrived; returns the verdict of that phase.
  bool arrive_and_wait();
  // Removes `count` participants that will never arrive (for example threads
  // the operating system refused to start), from this phase on. Completes the
  // current phase when everyone still expected is already waiting.
  void drop(std::uint32_t count);

  std::uint32_t expected() const;

 private:
  void complete_phase_locked();

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::uint32_t expected_;
  std::uint32_t arrived_ = 0;
  std::uint64_t generation_ = 0;
  bool last_verdict_ = false;
  std::function<bool()> verdict_;
};

}  // namespace brisk
