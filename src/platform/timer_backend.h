// The OS answers the timer probes need; one implementation per OS
// (timers_linux.cpp, timers_windows.cpp).
#pragma once

#include <cstdint>
#include <optional>

namespace brisk {

// Performance-counter frequency in Hz (the unit of FastTimer::now()).
std::int64_t performance_counter_frequency();
// Current timer resolution in 100 ns units; empty when the query is missing or fails.
std::optional<std::uint64_t> current_timer_resolution();
// The system time increment in 100 ns units; empty when the query fails.
std::optional<std::uint64_t> system_time_increment();
// Whether the OS is Windows 6.2 (Windows 8) with service pack 0 or later.
bool windows_8_or_later();

}  // namespace brisk
