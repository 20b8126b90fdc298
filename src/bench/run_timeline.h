// The course of a run second by second, made from the threads' step marks
// after they have all been joined.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bench/step_marks.h"

namespace brisk {

struct RunTimeline {
  // MGups of every whole second of the run, summed over the threads. As long
  // as the longest thread's own timeline.
  std::vector<double> mgups;
  // Each thread's MGups per whole second, in thread index order; a thread
  // that ended early has fewer seconds, one that never started its timed loop
  // none.
  std::vector<std::vector<double>> threads;
};

// One thread's MGups for seconds 1..L, L being its last recorded mark. The
// steps between two marks that lie k seconds apart are spread evenly over
// those k seconds. Empty when the thread recorded no start mark.
std::vector<double> thread_timeline(std::span<const std::uint64_t> marks,
                                    std::uint64_t updates_per_step);

// Every thread's timeline and their sum.
RunTimeline make_timeline(const StepMarks& marks);

}  // namespace brisk
