// Windows: GetSystemTimes, GetProcessTimes and the processors' power
// information from powrprof.
#include <windows.h>
// windows.h first: powrprof.h relies on its types.
#include <powrprof.h>

#include <vector>

#include "platform/system_counters.h"

namespace brisk {
namespace {

// The record CallNtPowerInformation(ProcessorInformation) fills per
// processor; MinGW declares it only among the driver kit's headers.
struct ProcessorPowerInformation {
  ULONG number;
  ULONG max_mhz;
  ULONG current_mhz;
  ULONG mhz_limit;
  ULONG max_idle_state;
  ULONG current_idle_state;
};

std::uint64_t ticks(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

std::optional<SystemCpuTimes> read_system_times() {
  FILETIME idle{}, kernel{}, user{};
  if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
  SystemCpuTimes times;
  // Kernel time includes the idle time.
  times.total = ticks(kernel) + ticks(user);
  times.idle = ticks(idle);
  times.tick_seconds = 100e-9;
  return times;
}

std::optional<ProcessCounters> read_process_counters() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    return std::nullopt;
  }
  ProcessCounters counters;
  counters.cpu_us = (ticks(kernel) + ticks(user)) / 10;
  return counters;
}

// A clock reading no processor gives (emulators answer with stubs such as 0
// or 1 MHz) is no reading.
bool plausible_mhz(ULONG mhz) { return mhz >= 100 && mhz <= 20000; }

ClockReading read_clock(const std::vector<std::uint32_t>& processors) {
  ClockReading clock;
  const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (count == 0) return clock;
  std::vector<ProcessorPowerInformation> info(count);
  const ULONG bytes = static_cast<ULONG>(info.size() * sizeof(ProcessorPowerInformation));
  if (CallNtPowerInformation(ProcessorInformation, nullptr, 0, info.data(), bytes) != 0) {
    return clock;
  }
  std::vector<std::uint32_t> wanted = processors;
  if (wanted.empty()) {
    for (DWORD i = 0; i < count; ++i) wanted.push_back(i);
  }
  double limit = 0.0, max = 0.0;
  std::size_t used = 0;
  for (const std::uint32_t index : wanted) {
    if (index >= info.size()) continue;
    const ProcessorPowerInformation& p = info[index];
    if (!plausible_mhz(p.mhz_limit) || !plausible_mhz(p.max_mhz)) return clock;
    limit += p.mhz_limit;
    max += p.max_mhz;
    ++used;
  }
  if (used == 0) return clock;
  const double n = static_cast<double>(used);
  clock.limit_mhz = limit / n;
  clock.max_mhz = max / n;
  return clock;
}

}  // namespace

CounterSample read_counter_sample(const std::vector<std::uint32_t>& processors) {
  CounterSample sample;
  sample.clock = read_clock(processors);
  sample.process = read_process_counters();
  sample.system = read_system_times();
  return sample;
}

}  // namespace brisk
