// The decisions behind the timer probes, as pure functions of the OS answers,
// so every boundary can be checked without the OS.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/cpu_info.h"
#include "platform/timers.h"

namespace brisk {

// Source behind a performance counter of `frequency` Hz: the fixed legacy
// frequencies first, then closeness to the time-stamp counter, then ranges.
TimerSource classify_fast_timer(std::int64_t frequency, const TscInfo& tsc);

// Tick rate in Hz from the current timer resolution (100 ns units); a missing
// or zero resolution falls back to `time_increment` (also 100 ns units), and a
// missing or zero increment gives 0 (unknown).
std::int64_t coarse_tick_rate(std::optional<std::uint64_t> current_resolution,
                              const std::function<std::optional<std::uint64_t>()>& time_increment);

// The HWBOT rule: before Windows 8 every source is accepted; from Windows 8 on
// only HPET, or an Intel processor of model 0x4E or later other than 0x4F.
bool hwbot_compliant(TimerSource source, const CpuInfo& cpu, bool windows_8_or_later);

}  // namespace brisk
