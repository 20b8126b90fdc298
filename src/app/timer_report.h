// The "--timer-debug" report: both timers, the time-stamp counter, the
// processor identity and the HWBOT verdict.
#pragma once

#include <string>
#include <vector>

#include "platform/cpu_info.h"
#include "platform/timers.h"

namespace brisk {

// Everything the report shows, probed beforehand.
struct TimerReportInput {
  TimerInfo fast;
  TimerInfo coarse;
  TscInfo tsc;
  CpuInfo cpu;
  bool hwbot_compliant = false;
};

// The report's lines, without line ends (empty strings are blank lines).
std::vector<std::string> timer_report_lines(const TimerReportInput& input);

// Probes the fast timer, the coarse timer, the TSC and the processor, in that
// order, and writes the report to standard output.
void print_timer_report();

}  // namespace brisk
