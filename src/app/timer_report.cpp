#include "app/timer_report.h"

#include <iostream>

#include "app/format.h"
#include "fmt/format.h"

namespace brisk {
namespace {

std::string_view vendor_line(CpuVendor vendor) {
  switch (vendor) {
    case CpuVendor::intel:
      return "Intel detected";
    case CpuVendor::amd:
      return "AMD detected";
    case CpuVendor::unknown:
      break;
  }
  return "unknown vendor";
}

}  // namespace

std::vector<std::string> timer_report_lines(const TimerReportInput& in) {
  std::vector<std::string> lines = {
      fmt::format("Fast timer: {}", timer_source_name(in.fast.source)),
      "underlying frequency: " + format_hz(in.fast.underlying_frequency),
      "report frequency: " + format_hz(in.fast.report_frequency),
      "Coarse timer: ",
      "underlying frequency: " + format_hz(in.coarse.underlying_frequency),
      "report frequency: " + format_hz(in.coarse.report_frequency),
      "",
      "tsc info:",
      "tsc: " + format_hz(in.tsc.tsc_frequency),
      "crystal: " + format_hz(in.tsc.crystal_frequency),
      fmt::format("invariant: {}", in.tsc.invariant),
      "",
      in.cpu.brand,
      std::string(vendor_line(in.cpu.vendor)),
      fmt::format("detected family: {:x} model: {:x}", in.cpu.family, in.cpu.model),
      "",
  };
  if (in.hwbot_compliant) {
    lines.push_back("Fast timer is hwbot compliant");
  } else {
    lines.push_back("Fast timer is not compliant with HWBOT rules");
    lines.emplace_back(kBypassTimerCheckHint);
  }
  return lines;
}

void print_timer_report() {
  TimerReportInput input;
  const FastTimer fast;
  input.fast = fast;
  input.coarse = CoarseTimer();
  input.tsc = read_tsc_info();
  input.cpu = read_cpu_info();
  input.hwbot_compliant = is_hwbot_compliant(fast);
  for (const std::string& line : timer_report_lines(input)) std::cout << line << std::endl;
}

}  // namespace brisk
