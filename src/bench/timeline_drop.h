// Finding where a run lost its pace: the longest stretch of seconds whose
// rate fell clearly below the run's typical second.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace brisk {

// A second counts as dropped when it is more than this far below the median.
inline constexpr double kDropPercent = 10.0;

struct TimelineDrop {
  std::size_t from_s = 0;  // the stretch spans from_s .. to_s seconds of the run
  std::size_t to_s = 0;
  double rate = 0.0;           // mean MGups of the stretch's seconds
  double median = 0.0;         // MGups of the run's median second
  double percent_below = 0.0;  // (1 - rate / median) * 100
};

// The longest stretch of consecutive seconds more than kDropPercent below the
// median second, the first second (warm-up) left out of both; of equally long
// stretches the deepest. None when no second dropped.
std::optional<TimelineDrop> find_drop(std::span<const double> mgups);

}  // namespace brisk
