// Linux answers for the timer probes: CLOCK_MONOTONIC_RAW plays the
// performance counter (ns), CLOCK_MONOTONIC_COARSE the tick count (ms).
#include <time.h>

#include "platform/timer_backend.h"
#include "platform/timers.h"

namespace brisk {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

std::int64_t FastTimer::now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * kNanosecondsPerSecond + ts.tv_nsec;
}

std::int64_t CoarseTimer::now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

std::int64_t performance_counter_frequency() { return kNanosecondsPerSecond; }

std::optional<std::uint64_t> current_timer_resolution() {
  // The coarse clock advances once per kernel tick, so its resolution is the
  // tick length (4 ms at 250 Hz).
  timespec res{};
  if (clock_getres(CLOCK_MONOTONIC_COARSE, &res) != 0) return std::nullopt;
  const std::int64_t ns =
      static_cast<std::int64_t>(res.tv_sec) * kNanosecondsPerSecond + res.tv_nsec;
  if (ns <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(ns / 100);
}

std::optional<std::uint64_t> system_time_increment() { return std::nullopt; }

// The HWBOT timer rule is about the timers of Windows 8 and later.
bool windows_8_or_later() { return false; }

}  // namespace brisk
