#include "app/timer_report.h"

#include <iostream>

#include "app/format.h"
#include "fmt/format.h"

namespace brisk {
namespace {

std::string hz(std::int64_t value) { return format_si(static_cast<std::uint64_t>(value), "Hz"); }

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
      "underlying frequency: " + hz(in.fast.underlying_frequency),
      "report frequency: " + hz(in.fast.report_frequency),
      "Coarse timer: ",
      "underlying frequency: " + hz(in.coarse.underlying_frequency),
      "report frequency: " + hz(in.coarse.report_frequency),
      "",
      "tsc info:",
      "tsc: " + hz(in.tsc.tsc_frequency),
      "crystal: " + hz(in.tsc.crystal_frequency),
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
    lines.push_back(
        "Use --bypass-timer-check to run regardless if you are sure that this is a detection error "
        "in terms of your windows version, processor, or timer");
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
