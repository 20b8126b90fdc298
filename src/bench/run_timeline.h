// The course of a run second by second, made from the threads' step marks
// after they have all been joined.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
  // The measured clock of every whole second in MHz: the mean over the
  // threads that measured one then, none where no thread did. As long as
  // `mgups`.
  std::vector<std::optional<double>> clock_mhz;
  // Each thread's clock per whole second, in thread index order, as long as
  // its entry of `threads`.
  std::vector<std::vector<std::optional<double>>> threads_clock_mhz;
};

// The mean clock of the run's threads just before (`before` true) or just
// after their timed loops; none when no thread measured one.
std::optional<double> loop_edge_clock(const StepMarks& marks, bool before);

// One thread's MGups for seconds 1..L, L being its last recorded mark. The
// steps between two marks that lie k seconds apart are spread evenly over
// those k seconds. Empty when the thread recorded no start mark.
std::vector<double> thread_timeline(std::span<const std::uint64_t> marks,
                                    std::uint64_t updates_per_step);

// One thread's clock for seconds 1..L, L being its last recorded mark: a
// second takes the clock measured at the mark that ends it (a long step's
// seconds share the mark after it, as their rates do). Empty when the thread
// recorded no start mark.
std::vector<std::optional<double>> thread_clock_timeline(std::span<const std::uint64_t> marks,
                                                         std::span<const float> clocks);

// The mean of the measured values among `clocks`, from `from` up to (not
// including) `to`; none when none of them was measured.
std::optional<double> mean_clock(const std::vector<std::optional<double>>& clocks,
                                 std::size_t from = 0, std::size_t to = SIZE_MAX);

// Every thread's timeline and their sum; every thread's clocks and their mean.
RunTimeline make_timeline(const StepMarks& marks);

}  // namespace brisk
