// Cumulative counters of the whole system and of this process, read by the
// main thread just before a run's workers start and just after they are
// joined: two samples give the average over the run without touching the
// timed loop. The backends only ask the operating system; the arithmetic on
// two samples lives with the run (bench/run_conditions.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace brisk {

// Processor time of all logical processors together since boot, in ticks of
// `tick_seconds` (Linux USER_HZ, Windows 100 ns).
struct SystemCpuTimes {
  std::uint64_t total = 0;             // every state, idle included
  std::uint64_t idle = 0;              // idle and waiting for input/output
  std::optional<std::uint64_t> steal;  // taken by the hypervisor; none where not reported
  double tick_seconds = 0.0;
};

// This process's own counters since it started.
struct ProcessCounters {
  std::uint64_t cpu_us = 0;  // user + system time of every thread, microseconds
  std::optional<std::uint64_t> involuntary_switches;
  std::optional<std::uint64_t> major_faults;
};

// What the system says of the processors' clocks, as means over the
// processors asked for, in MHz; none where it does not say so without
// privileges. Not the current clock: Windows reports its maximum there, and
// virtual machines nothing; brisk measures that itself (clock_probe.h).
struct ClockReading {
  std::optional<double> limit_mhz;  // what power or thermal limits allow now
  std::optional<double> max_mhz;    // the rated maximum
};

struct CounterSample {
  std::optional<SystemCpuTimes> system;
  std::optional<ProcessCounters> process;
  ClockReading clock;
};

// Reads every counter at once. `processors` are the operating system's
// numbers of the processors whose clock matters; empty means every processor
// this process may run on.
CounterSample read_counter_sample(const std::vector<std::uint32_t>& processors);

// The first "cpu" line of Linux's /proc/stat, in its ticks (user nice system
// idle iowait irq softirq steal; guest time is already inside user). None
// when the text has no such line or its numbers do not read.
std::optional<SystemCpuTimes> parse_proc_stat(std::string_view text, double tick_seconds);

}  // namespace brisk
