#include "app/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/help.h"
#include "app/validation.h"

namespace brisk {
namespace {

// Decides for "brisk" followed by args, on fresh settings.
Dispatch decide(const std::vector<std::string>& args, DriverSettings& settings,
                const char* program = "brisk") {
  std::vector<const char*> argv = {program};
  for (const auto& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return choose_action(static_cast<int>(argv.size() - 1), argv.data(), settings);
}

Dispatch decide(const std::vector<std::string>& args) {
  DriverSettings settings;
  return decide(args, settings);
}

const std::string kInvalidSize100 =
    "Invalid size '100', must be one of: 64, 128, 192, 256, 320, 384, 448, 512, 640, 768, 1024, "
    "2048, 4096, 8192";
const std::string kInvalidWorkload =
    "Invalid workload name 'Standing_Wave', must be one of: standing_wave, soft_gaussian";
const std::string kInvalidIsa = "Invalid isa name 'avx512', must be one of: sse2, avx, avx2, fma";

TEST(DispatchTest, NoArgumentsRunsWithDefaults) {
  DriverSettings settings;
  const Dispatch d = decide({}, settings);
  EXPECT_EQ(d.action, DriverAction::run);
  EXPECT_TRUE(d.lines.empty());
  EXPECT_EQ(settings.config.size, 192u);
  EXPECT_EQ(settings.config.duration, 30u);
  EXPECT_EQ(settings.config.numthreads, 0u);
  EXPECT_EQ(settings.config.threading, "os");
  EXPECT_EQ(settings.harness.var, "none");
  EXPECT_EQ(settings.harness.sub_runs, 3u);
}

TEST(DispatchTest, ParseErrorComesFirstEvenBeforeTheBanner) {
  const Dispatch d = decide({"--brisk", "--threading", "NUMA"});
  EXPECT_EQ(d.action, DriverAction::parse_error);
  EXPECT_EQ(d.lines, std::vector<std::string>{
                         "Value 'NUMA' not expected. Allowed values are: os, numa, phte"});
}

TEST(DispatchTest, BannerWinsOverValidationAndEveryMode) {
  const Dispatch d = decide({"--size", "100", "--workload", "x", "--isa", "y", "--topo-debug",
                             "--timer-debug", "--brisk", "--help"});
  EXPECT_EQ(d.action, DriverAction::banner);
  EXPECT_TRUE(d.lines.empty());
}

TEST(DispatchTest, ValidationOrderSizeWorkloadIsa) {
  EXPECT_EQ(decide({"--size", "100", "--workload", "Standing_Wave", "--isa", "avx512"}).lines,
            std::vector<std::string>{kInvalidSize100});
  EXPECT_EQ(decide({"--workload", "Standing_Wave", "--isa", "avx512"}).lines,
            std::vector<std::string>{kInvalidWorkload});
  const Dispatch isa = decide({"--isa", "avx512"});
  EXPECT_EQ(isa.action, DriverAction::invalid_setting);
  EXPECT_EQ(isa.lines, std::vector<std::string>{kInvalidIsa});
  EXPECT_EQ(decide({"--size", "65"}).action, DriverAction::invalid_setting);
  EXPECT_EQ(decide({"--workload="}).lines,
            std::vector<std::string>{
                "Invalid workload name '', must be one of: standing_wave, soft_gaussian"});
}

TEST(DispatchTest, ValidationBeatsHelpOnlyWhenParsedBeforeIt) {
  EXPECT_EQ(decide({"--size", "100", "--help"}).lines, std::vector<std::string>{kInvalidSize100});
  EXPECT_EQ(decide({"--help", "--size", "100"}).action, DriverAction::help);
  EXPECT_EQ(decide({"--isa", "avx512", "--topo-debug"}).action, DriverAction::invalid_setting);
  EXPECT_EQ(decide({"--isa", "avx512", "--timer-debug"}).action, DriverAction::invalid_setting);
}

TEST(DispatchTest, HelpThenTopologyThenTimerThenRun) {
  EXPECT_EQ(decide({"--topo-debug", "--timer-debug", "--help"}).action, DriverAction::help);
  EXPECT_EQ(decide({"--timer-debug", "--topo-debug"}).action, DriverAction::topology_report);
  EXPECT_EQ(decide({"--timer-debug"}).action, DriverAction::timer_report);
  EXPECT_EQ(decide({"-s", "64", "-d", "0", "-n", "4294967295"}).action, DriverAction::run);
}

TEST(DispatchTest, HelpUsesTheProgramNameWithoutDirectories) {
  DriverSettings settings;
  const Dispatch d = decide({"-h"}, settings, "C:\\bench\\brisk.exe");
  ASSERT_EQ(d.action, DriverAction::help);
  ASSERT_GT(d.lines.size(), 2u);
  EXPECT_EQ(d.lines[0], "USAGE:");
  EXPECT_EQ(d.lines[1].rfind("  brisk.exe [-?|-h|--help] ", 0), 0u);
}

TEST(DispatchTest, ExitStatusOneOnlyForRejectedCommandLines) {
  EXPECT_EQ(exit_status(DriverAction::parse_error), 1);
  EXPECT_EQ(exit_status(DriverAction::invalid_setting), 1);
  EXPECT_EQ(exit_status(DriverAction::size_overflow), 1);
  for (auto action : {DriverAction::banner, DriverAction::help, DriverAction::topology_report,
                      DriverAction::timer_report, DriverAction::run}) {
    EXPECT_EQ(exit_status(action), 0);
  }
}

TEST(SizeOverflowTest, AllowedSizesPass) {
  for (const std::uint64_t size : kGridSizes) EXPECT_FALSE(check_size_overflow(size)) << size;
  EXPECT_FALSE(check_size_overflow(0));
}

TEST(SizeOverflowTest, MemoryGuardBoundary) {
  // 832255^3 * 32 still fits in 64 bits, 832256^3 * 32 does not.
  EXPECT_FALSE(check_size_overflow(832253));
  EXPECT_EQ(check_size_overflow(832254), "grid size 832254 would overflow memory calculation");
  EXPECT_EQ(check_size_overflow(1ull << 21), "grid size 2097152 would overflow memory calculation");
}

TEST(SizeOverflowTest, SliceGuardCatchesWhatTheWrappedCubeMisses) {
  // (2^32 + 2)^3 wraps to a small number; 2^32 * 2^32 overflows.
  EXPECT_EQ(check_size_overflow(1ull << 32), "grid size 4294967296 would overflow slice buffer");
  EXPECT_EQ(check_size_overflow(18446744073709551614ull),
            "grid size 18446744073709551614 would overflow slice buffer");
  EXPECT_EQ(check_size_overflow(18446744073709551615ull),
            "grid size 18446744073709551615 would overflow slice buffer");
}

}  // namespace
}  // namespace brisk
