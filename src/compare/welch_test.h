// Welch's unequal-variances t-test on two sets of scores, expressed as a
// relative change of the second set's mean against the first's.
#pragma once

#include <optional>
#include <span>

namespace brisk {

struct WelchResult {
  double delta_percent = 0.0;   // (mean(other) / mean(base) - 1) * 100
  double p_value = 1.0;         // two-sided
  double ci_low_percent = 0.0;  // 95% confidence interval of delta_percent
  double ci_high_percent = 0.0;
  double degrees_of_freedom = 0.0;  // Welch-Satterthwaite; 0 when both variances are 0
};

// None when a side has fewer than 2 scores, a score is not finite or the base
// mean is not positive.
// Zero variance is an ordinary input: equal means give p = 1 and an interval of
// exactly [0, 0]; different means with no variance on either side give p = 0
// and an interval of [delta, delta]. Zero variance on one side only gives the
// other side's n - 1 degrees of freedom. The same scores in any order give a
// delta of exactly 0. Never NaN, never throws.
std::optional<WelchResult> welch_test(std::span<const double> base, std::span<const double> other);

}  // namespace brisk
