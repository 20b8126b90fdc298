// Finding where a run lost its pace: the longest stretch of seconds whose
// rate fell clearly below the run's typical second.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

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

// Within this share of its median second the clock of a drop counts as held.
inline constexpr double kClockHeldPercent = 3.0;

// What the measured clock did while the rate dropped.
struct DropClock {
  double mhz = 0.0;            // mean clock of the drop's measured seconds
  double median_mhz = 0.0;     // the run's median measured second, the first left out
  double percent_below = 0.0;  // (1 - mhz / median_mhz) * 100; negative when it rose
};

// None when no second of the drop, or none of the rest of the run, has a
// measured clock. `clock_mhz` is indexed like the rates find_drop took.
std::optional<DropClock> drop_clock(std::span<const std::optional<double>> clock_mhz,
                                    const TimelineDrop& drop);

}  // namespace brisk
