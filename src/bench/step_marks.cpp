#include "bench/step_marks.h"

namespace brisk {

StepMarks::StepMarks(std::uint32_t threads, std::uint32_t duration)
    : threads_(threads),
      duration_(duration),
      marks_(static_cast<std::size_t>(threads) * (std::size_t{duration} + 1), kNoMark),
      clocks_(static_cast<std::size_t>(threads) * (std::size_t{duration} + 2), kNoClock),
      updates_per_step_(threads, 0) {}

std::span<std::uint64_t> StepMarks::row(std::uint32_t thread) {
  if (thread >= threads_) return {};
  const std::size_t width = std::size_t{duration_} + 1;
  return std::span<std::uint64_t>(marks_).subspan(thread * width, width);
}

std::span<const std::uint64_t> StepMarks::row(std::uint32_t thread) const {
  if (thread >= threads_) return {};
  const std::size_t width = std::size_t{duration_} + 1;
  return std::span<const std::uint64_t>(marks_).subspan(thread * width, width);
}

std::span<float> StepMarks::clocks(std::uint32_t thread) {
  if (thread >= threads_) return {};
  const std::size_t width = std::size_t{duration_} + 2;
  return std::span<float>(clocks_).subspan(thread * width, width);
}

std::span<const float> StepMarks::clocks(std::uint32_t thread) const {
  if (thread >= threads_) return {};
  const std::size_t width = std::size_t{duration_} + 2;
  return std::span<const float>(clocks_).subspan(thread * width, width);
}

void StepMarks::set_updates_per_step(std::uint32_t thread, std::uint64_t updates) {
  if (thread < threads_) updates_per_step_[thread] = updates;
}

std::uint64_t StepMarks::updates_per_step(std::uint32_t thread) const {
  return thread < threads_ ? updates_per_step_[thread] : 0;
}

}  // namespace brisk
