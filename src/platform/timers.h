// The two clocks of a measurement: the fast timer (performance counter) that
// produces the score and the coarse millisecond tick count that cross-checks
// it. Classification, conversions, the overflow guard and the HWBOT rule are
// pure functions; the OS answers come from timers_<os>.cpp.
#pragma once

#include <cstdint>
#include <string_view>

namespace brisk {

enum class TimerSource : std::uint8_t {
  unknown = 0,
  tsc = 1,
  itsc = 2,
  hpet = 3,
  acpi = 4,
  pit = 5,
  rtc = 6,
};

// The three fields both timer records share.
struct TimerInfo {
  std::int64_t report_frequency = 0;      // units per second of now() readings
  std::int64_t underlying_frequency = 0;  // how often the reading advances; 0 unknown
  TimerSource source = TimerSource::unknown;
};

struct FastTimer : TimerInfo {
  // Probes the performance counter and classifies its source.
  FastTimer();
  // Current performance-counter value, in report_frequency units.
  static std::int64_t now();
};

struct CoarseTimer : TimerInfo {
  // Probes the tick count: report frequency 1000, underlying = tick rate.
  CoarseTimer();
  // Milliseconds since system start.
  static std::int64_t now();
};

// Span from start to end reading in whole seconds / ms / us; 0 when the report
// frequency is not positive.
std::int64_t elapsed_seconds(const TimerInfo& timer, std::int64_t start, std::int64_t end);
std::int64_t elapsed_milliseconds(const TimerInfo& timer, std::int64_t start, std::int64_t end);
std::int64_t elapsed_microseconds(const TimerInfo& timer, std::int64_t start, std::int64_t end);

// True when the counter could pass INT64_MAX within `seconds` from `now`.
bool will_overflow(const TimerInfo& timer, std::int64_t now, std::int64_t seconds);

// underlying_frequency when known, else report_frequency.
std::int64_t display_frequency(const TimerInfo& timer);

// "unknown", "TSC", "iTSC", "HPET", "ACPI", "PIT", "RTC" ("unknown" above 6).
std::string_view timer_source_name(TimerSource source);

// Whether the fast timer may be used for a result under the HWBOT rules.
bool is_hwbot_compliant(const FastTimer& timer);

// What to tell a user whose fast timer fails those rules.
inline constexpr std::string_view kBypassTimerCheckHint =
    "Use --bypass-timer-check to run regardless if you are sure that this is a detection error "
    "in terms of your windows version, processor, or timer";

}  // namespace brisk
