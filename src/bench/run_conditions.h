// What else the machine was doing during a run, from two counter samples
// taken just before its workers started and just after they were joined,
// and the one cause that best explains a noisy set of runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_counters.h"

namespace brisk {

// Every figure is none where this system cannot measure it, or where a
// counter wrapped or went backwards: never 0 for unknown.
struct RunConditions {
  // Processor time of everything but brisk, in % of all logical processors'.
  std::optional<double> other_load_percent;
  std::optional<double> steal_percent;         // the hypervisor's share, same base
  std::optional<double> on_processor_percent;  // brisk's time in % of threads x wall time
  std::optional<std::uint64_t> involuntary_switches;
  std::optional<std::uint64_t> major_faults;
  // brisk's own measurement: the mean over the run's threads of the clock
  // each measured just before / just after its timed loop.
  std::optional<double> clock_start_mhz;
  std::optional<double> clock_end_mhz;
  std::optional<double> clock_limit_mhz;  // power or thermal limit at the end
  std::optional<double> clock_max_mhz;    // the rated maximum
};

// A clock to whole MHz, the precision any of its sources has.
std::optional<double> whole_mhz(const std::optional<double>& mhz);

// The figures between two samples `wall_seconds` apart for a run of
// `threads` threads; the measured clocks are the run's to fill in.
RunConditions conditions_between(const CounterSample& start, const CounterSample& end,
                                 double wall_seconds, std::uint32_t threads);

// Thresholds from which a figure explains a noisy score.
inline constexpr double kStealCausePercent = 2.0;
inline constexpr double kOtherLoadCausePercent = 5.0;
inline constexpr double kOffProcessorCausePercent = 5.0;
inline constexpr double kClockFallCausePercent = 5.0;
// Above this share of the processors taken by other programs a run's score
// is below what the machine can do, whatever the spread says.
inline constexpr double kOtherLoadWarningPercent = 10.0;

// A run's conditions with the run's number (from 1) among its point's runs.
struct NumberedConditions {
  std::uint32_t run = 0;
  RunConditions conditions;
};

// What the noisy warning says after the spread: the measured cause of the
// most disturbed run ("other programs used 31.2% of the processors during
// run 2"), checked in the order steal, other programs, brisk's threads off
// the processors, a falling clock; "nothing on this system was busy: ..."
// when the figures were measured but none crossed its threshold; the old
// guess when nothing could be measured (files written before the figures
// existed).
std::string noise_cause(const std::vector<NumberedConditions>& runs);

// The noisy warning's whole explanation: the cause, then why it matters.
std::string noisy_explanation(const std::vector<NumberedConditions>& runs);

}  // namespace brisk
