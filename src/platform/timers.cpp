#include "platform/timers.h"

#include <limits>

#include "platform/timer_backend.h"
#include "platform/timer_rules.h"

namespace brisk {
namespace {

constexpr std::int64_t kPitFrequency = 1'193'182;
constexpr std::int64_t kHundredNsPerSecond = 10'000'000;

std::int64_t distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

// whole * k + rest * k / F keeps the product of span and k from overflowing.
std::int64_t elapsed_in(const TimerInfo& timer, std::int64_t start, std::int64_t end,
                        std::int64_t units_per_second) {
  const std::int64_t f = timer.report_frequency;
  if (f <= 0) return 0;
  const std::int64_t span = end - start;
  return (span / f) * units_per_second + ((span % f) * units_per_second) / f;
}

}  // namespace

TimerSource classify_fast_timer(std::int64_t f, const TscInfo& tsc) {
  const std::int64_t t = tsc.tsc_frequency;
  const TimerSource tsc_kind = tsc.invariant ? TimerSource::itsc : TimerSource::tsc;
  if (f == kPitFrequency) return TimerSource::pit;
  if (f == 32'000'000 || f == 32'768'000) return TimerSource::rtc;
  if (f >= 3'579'000 && f <= 3'579'999) return TimerSource::acpi;
  if (f >= 143'100'001 && f <= 143'299'999) return TimerSource::hpet;
  // Windows often exposes the TSC directly or divided by 1024.
  if (t != 0 && (distance(f, t) < 1'000'000 || distance(f, t / 1024) < 100'000)) return tsc_kind;
  // 10 MHz is the virtualised counter Windows derives from the TSC.
  if (f >= 100'000'000 || f == 10'000'000) return tsc_kind;
  if (f > 10'000'000) return TimerSource::hpet;
  return TimerSource::unknown;
}

std::int64_t coarse_tick_rate(std::optional<std::uint64_t> current_resolution,
                              const std::function<std::optional<std::uint64_t>()>& time_increment) {
  // A reported resolution of 0 is as useless as a failed query.
  if (current_resolution && *current_resolution != 0) {
    return static_cast<std::int64_t>(kHundredNsPerSecond / *current_resolution);
  }
  const std::optional<std::uint64_t> increment = time_increment ? time_increment() : std::nullopt;
  if (increment && *increment != 0) {
    return static_cast<std::int64_t>(kHundredNsPerSecond / *increment);
  }
  return 0;
}

bool hwbot_compliant(TimerSource source, const CpuInfo& cpu, bool windows_8_or_later) {
  // Windows 8 and later may run the performance counter from a TSC that
  // the rules do not trust on every processor.
  if (!windows_8_or_later) return true;
  if (source == TimerSource::hpet) return true;
  return cpu.vendor == CpuVendor::intel && cpu.model >= 0x4E && cpu.model != 0x4F;
}

FastTimer::FastTimer() {
  const std::int64_t f = performance_counter_frequency();
  report_frequency = f;
  underlying_frequency = f;
  source = classify_fast_timer(f, read_tsc_info());
}

CoarseTimer::CoarseTimer() {
  report_frequency = 1000;
  source = TimerSource::unknown;
  underlying_frequency = coarse_tick_rate(current_timer_resolution(), &system_time_increment);
}

std::int64_t elapsed_seconds(const TimerInfo& timer, std::int64_t start, std::int64_t end) {
  return elapsed_in(timer, start, end, 1);
}

std::int64_t elapsed_milliseconds(const TimerInfo& timer, std::int64_t start, std::int64_t end) {
  return elapsed_in(timer, start, end, 1000);
}

std::int64_t elapsed_microseconds(const TimerInfo& timer, std::int64_t start, std::int64_t end) {
  return elapsed_in(timer, start, end, 1'000'000);
}

bool will_overflow(const TimerInfo& timer, std::int64_t now, std::int64_t seconds) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::int64_t f = timer.report_frequency;
  // A negative reading only adds headroom; it must not overflow kMax - now.
  const std::int64_t headroom = now < 0 ? kMax : kMax - now;
  const std::int64_t limit = f <= 0 ? kMax : headroom / f;
  return seconds >= limit;
}

std::int64_t display_frequency(const TimerInfo& timer) {
  return timer.underlying_frequency != 0 ? timer.underlying_frequency : timer.report_frequency;
}

std::string_view timer_source_name(TimerSource source) {
  switch (source) {
    case TimerSource::tsc:
      return "TSC";
    case TimerSource::itsc:
      return "iTSC";
    case TimerSource::hpet:
      return "HPET";
    case TimerSource::acpi:
      return "ACPI";
    case TimerSource::pit:
      return "PIT";
    case TimerSource::rtc:
      return "RTC";
    case TimerSource::unknown:
      break;
  }
  return "unknown";
}

bool is_hwbot_compliant(const FastTimer& timer) {
  return hwbot_compliant(timer.source, read_cpu_info(), windows_8_or_later());
}

}  // namespace brisk
