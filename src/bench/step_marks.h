// Where each benchmark thread stood at every whole second of its timed loop:
// the steps it had finished when its coarse time first reached 0 s, 1 s, ...,
// duration s. Reserved before any thread starts, so recording a mark in the
// timed loop is a plain store into memory the thread already owns.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace brisk {

// A second the thread never recorded: it had ended by then, or one long step
// carried it past that second and the next mark covers both.
inline constexpr std::uint64_t kNoMark = std::numeric_limits<std::uint64_t>::max();

// A clock that was not measured (or not plausible), in MHz.
inline constexpr float kNoClock = std::numeric_limits<float>::quiet_NaN();

class StepMarks {
 public:
  StepMarks() = default;
  // duration + 1 marks for each of `threads` threads, all kNoMark, and
  // duration + 2 clocks, all kNoClock. Throws
  // std::bad_alloc or std::length_error when they cannot be held.
  StepMarks(std::uint32_t threads, std::uint32_t duration);

  std::uint32_t threads() const { return threads_; }
  std::uint32_t duration() const { return duration_; }

  // The marks of one thread (duration + 1 entries; empty for a thread the
  // marks were not made for). Each thread writes only its own row.
  std::span<std::uint64_t> row(std::uint32_t thread);
  std::span<const std::uint64_t> row(std::uint32_t thread) const;

  // The clocks of one thread in MHz: [0] just before its timed loop,
  // [k] at its mark k (k = 1 .. duration), [duration + 1] just after the loop.
  // Empty for a thread the marks were not made for.
  std::span<float> clocks(std::uint32_t thread);
  std::span<const float> clocks(std::uint32_t thread) const;

  // Grid-point updates of one step of the thread's workload; 0 until the
  // thread has built its workload.
  void set_updates_per_step(std::uint32_t thread, std::uint64_t updates);
  std::uint64_t updates_per_step(std::uint32_t thread) const;

 private:
  std::uint32_t threads_ = 0;
  std::uint32_t duration_ = 0;
  std::vector<std::uint64_t> marks_;  // thread after thread, duration + 1 each
  std::vector<float> clocks_;         // thread after thread, duration + 2 each
  std::vector<std::uint64_t> updates_per_step_;
};

}  // namespace brisk
