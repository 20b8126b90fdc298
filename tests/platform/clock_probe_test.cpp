#include "platform/clock_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock_chain.h"

namespace brisk {
namespace {

// Recorded timings of a probe: three rounds of a short and a long chain.
struct ChainCase {
  std::string name;
  std::vector<std::uint64_t> short_ticks;
  std::vector<std::uint64_t> long_ticks;
  double extra_cycles;
  double tick_hz;
  std::optional<double> expected_mhz;
};

class ChainClock : public ::testing::TestWithParam<ChainCase> {};

TEST_P(ChainClock, TakesTheBestRoundOfEachLengthAndTheirDifference) {
  const ChainCase& c = GetParam();
  const std::optional<double> mhz =
      chain_clock_mhz(c.short_ticks, c.long_ticks, c.extra_cycles, c.tick_hz);
  ASSERT_EQ(mhz.has_value(), c.expected_mhz.has_value());
  if (mhz) {
    EXPECT_NEAR(*mhz, *c.expected_mhz, 1e-6);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Timings, ChainClock,
    ::testing::Values(
        // 4,096 cycles in 2,500 ticks of a 2.6 GHz counter: 4,259.84 MHz. The
        // fixed cost of reading the counter (100 ticks) is in both lengths.
        ChainCase{"Steady", {1100, 1100, 1100}, {3600, 3600, 3600}, 4096, 2.6e9, 4259.84},
        // An interruption lengthens the round it hits, of either length, and
        // only that one.
        ChainCase{
            "InterruptedLongRound", {1100, 1100, 1100}, {3600, 95000, 3600}, 4096, 2.6e9, 4259.84},
        ChainCase{
            "InterruptedShortRound", {50000, 1100, 1120}, {3610, 3600, 3600}, 4096, 2.6e9, 4259.84},
        ChainCase{
            "EveryRoundDifferent", {1180, 1100, 1130}, {3650, 3700, 3600}, 4096, 2.6e9, 4259.84},
        // An emulator, or a counter that barely moves: no value, never a number.
        ChainCase{"TooFast", {100, 100}, {110, 110}, 4096, 2.6e9, std::nullopt},
        ChainCase{"TooSlow", {1000, 1000}, {500000, 500000}, 4096, 2.6e9, std::nullopt},
        ChainCase{"JustInsideTheWindow", {0}, {25999}, 1000, 2.6e9, 1000 * 2.6e9 / 25999 / 1e6},
        ChainCase{"LongNotLonger", {3600}, {3600}, 4096, 2.6e9, std::nullopt},
        ChainCase{"CounterStood", {0, 0}, {0, 0}, 4096, 2.6e9, std::nullopt},
        ChainCase{"NoRounds", {}, {}, 4096, 2.6e9, std::nullopt},
        ChainCase{"RateUnknown", {1100}, {3600}, 4096, 0.0, std::nullopt}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return info.param.name; });

TEST(ClockProbe, TheCounterRateComesFromTwoReadingsOfBoth) {
  // 52,000,000 ticks in 20 ms of a 10 MHz timer: 2.6 GHz.
  const std::optional<double> rate = tsc_rate_between({1000, 5000}, {52001000, 205000}, 10000000);
  ASSERT_TRUE(rate);
  EXPECT_DOUBLE_EQ(*rate, 2.6e9);
  EXPECT_FALSE(tsc_rate_between({1000, 5000}, {1000, 205000}, 10000000));
  EXPECT_FALSE(tsc_rate_between({1000, 5000}, {52001000, 5000}, 10000000));
  EXPECT_FALSE(tsc_rate_between({1000, 5000}, {52001000, 205000}, 0));
  EXPECT_TRUE(plausible_clock_mhz(100.0) && plausible_clock_mhz(20000.0));
  EXPECT_FALSE(plausible_clock_mhz(99.9) || plausible_clock_mhz(20000.1));
}

// The best of a few probes: an interruption only ever lowers a reading.
std::optional<double> best_of_probes(ClockChain chain) {
  std::optional<double> best;
  for (int i = 0; i < 7; ++i) {
    const std::optional<double> mhz = measure_clock_mhz(chain);
    if (mhz && (!best || *mhz > *best)) best = mhz;
  }
  return best;
}

// On the processor the test runs on, the add chain and a chain of multiplies
// (three times its latency per instruction) read the same clock: neither is
// shortened by the core, and the counter's rate is right for both.
TEST(ClockProbe, AddsAndMultipliesReadTheSameClockHere) {
  prepare_clock_probe();
  const std::optional<double> adds = best_of_probes(ClockChain::add);
  const std::optional<double> multiplies = best_of_probes(ClockChain::multiply);
  if (!adds && !multiplies) GTEST_SKIP() << "no plausible clock on this processor (an emulator?)";
  ASSERT_TRUE(adds && multiplies);
  EXPECT_NEAR(*adds / *multiplies, 1.0, 0.03) << *adds << " MHz against " << *multiplies;
}

// Twice the blocks take about twice the ticks: the chain is really run, and
// its length is what the probe assumes.
TEST(ClockProbe, ChainTicksGrowWithTheirLength) {
  std::uint64_t one = ~std::uint64_t{0}, eight = ~std::uint64_t{0};
  for (int i = 0; i < 7; ++i) {
    one = std::min(one, add_chain_ticks(40));
    eight = std::min(eight, add_chain_ticks(320));
  }
  ASSERT_GT(one, 0u);
  EXPECT_NEAR(static_cast<double>(eight) / static_cast<double>(one), 8.0, 0.8);
}

}  // namespace
}  // namespace brisk
