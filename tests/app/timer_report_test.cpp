#include "app/timer_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brisk {
namespace {

TimerReportInput intel_desktop() {
  TimerReportInput in;
  in.fast = {10'000'000, 10'000'000, TimerSource::itsc};
  in.coarse = {1000, 64, TimerSource::unknown};
  in.tsc.tsc_frequency = 3'609'600'000;
  in.tsc.crystal_frequency = 38'400'000;
  in.tsc.invariant = true;
  in.cpu.brand = "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz";
  in.cpu.vendor = CpuVendor::intel;
  in.cpu.family = 6;
  in.cpu.model = 0x9E;
  in.hwbot_compliant = true;
  return in;
}

TEST(TimerReport, CompliantReportHasSeventeenLines) {
  EXPECT_EQ(timer_report_lines(intel_desktop()), (std::vector<std::string>{
                                                     "Fast timer: iTSC",
                                                     "underlying frequency: 10.00 MHz",
                                                     "report frequency: 10.00 MHz",
                                                     "Coarse timer: ",
                                                     "underlying frequency: 64 Hz",
                                                     "report frequency: 1.00 KHz",
                                                     "",
                                                     "tsc info:",
                                                     "tsc: 3.61 GHz",
                                                     "crystal: 38.40 MHz",
                                                     "invariant: true",
                                                     "",
                                                     "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz",
                                                     "Intel detected",
                                                     "detected family: 6 model: 9e",
                                                     "",
                                                     "Fast timer is hwbot compliant",
                                                 }));
}

TEST(TimerReport, NonCompliantAmdWithUnknownTickRate) {
  TimerReportInput in = intel_desktop();
  in.fast = {1'000'000'000, 1'000'000'000, TimerSource::tsc};
  in.coarse = {1000, 0, TimerSource::unknown};  // the zero is printed as is
  in.tsc = {};
  in.cpu.brand = "AMD Ryzen 9 7950X 16-Core Processor            ";
  in.cpu.vendor = CpuVendor::amd;
  in.cpu.family = 0xF;
  in.cpu.model = 0x61;
  in.hwbot_compliant = false;
  const std::vector<std::string> lines = timer_report_lines(in);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[0], "Fast timer: TSC");
  EXPECT_EQ(lines[1], "underlying frequency: 1.00 GHz");
  EXPECT_EQ(lines[4], "underlying frequency: 0 Hz");
  EXPECT_EQ(lines[8], "tsc: 0 Hz");
  EXPECT_EQ(lines[9], "crystal: 0 Hz");
  EXPECT_EQ(lines[10], "invariant: false");
  EXPECT_EQ(lines[12], "AMD Ryzen 9 7950X 16-Core Processor            ");  // spaces kept
  EXPECT_EQ(lines[13], "AMD detected");
  EXPECT_EQ(lines[14], "detected family: f model: 61");
  EXPECT_EQ(lines[16], "Fast timer is not compliant with HWBOT rules");
  EXPECT_EQ(lines[17],
            "Use --bypass-timer-check to run regardless if you are sure that this is a detection "
            "error in terms of your windows version, processor, or timer");
}

TEST(TimerReport, UnknownVendorAndSource) {
  TimerReportInput in = intel_desktop();
  in.fast.source = static_cast<TimerSource>(9);
  in.cpu.brand = "";
  in.cpu.vendor = CpuVendor::unknown;
  const std::vector<std::string> lines = timer_report_lines(in);
  EXPECT_EQ(lines[0], "Fast timer: unknown");
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], "unknown vendor");
}

}  // namespace
}  // namespace brisk
