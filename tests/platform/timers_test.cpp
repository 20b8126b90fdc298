#include "platform/timers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "platform/timer_rules.h"

namespace brisk {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

TscInfo tsc(std::int64_t frequency, bool invariant = true) {
  TscInfo t;
  t.tsc_frequency = frequency;
  t.invariant = invariant;
  return t;
}

TimerInfo timer(std::int64_t report, std::int64_t underlying = 0) {
  TimerInfo t;
  t.report_frequency = report;
  t.underlying_frequency = underlying;
  return t;
}

TEST(TimerClassification, FixedLegacyFrequenciesComeFirst) {
  // PIT even when the TSC happens to run within 1 MHz of it.
  EXPECT_EQ(classify_fast_timer(1'193'182, tsc(1'500'000)), TimerSource::pit);
  EXPECT_EQ(classify_fast_timer(32'000'000, tsc(32'000'000)), TimerSource::rtc);
  EXPECT_EQ(classify_fast_timer(32'768'000, tsc(0)), TimerSource::rtc);
  EXPECT_EQ(classify_fast_timer(1'193'181, tsc(0)), TimerSource::unknown);
}

TEST(TimerClassification, AcpiBoundsAreInclusive) {
  const TscInfo far = tsc(3'000'000'000);
  EXPECT_EQ(classify_fast_timer(3'579'545, far), TimerSource::acpi);
  EXPECT_EQ(classify_fast_timer(3'579'000, far), TimerSource::acpi);
  EXPECT_EQ(classify_fast_timer(3'579'999, far), TimerSource::acpi);
  EXPECT_EQ(classify_fast_timer(3'578'999, far), TimerSource::unknown);
  EXPECT_EQ(classify_fast_timer(3'580'000, far), TimerSource::unknown);
}

TEST(TimerClassification, HpetRangeAndFallback) {
  const TscInfo far = tsc(3'000'000'000, false);
  EXPECT_EQ(classify_fast_timer(143'100'001, far), TimerSource::hpet);
  EXPECT_EQ(classify_fast_timer(143'299'999, far), TimerSource::hpet);
  // Just outside the HPET range the 100 MHz rule names the TSC.
  EXPECT_EQ(classify_fast_timer(143'100'000, far), TimerSource::tsc);
  EXPECT_EQ(classify_fast_timer(143'300'000, tsc(3'000'000'000)), TimerSource::itsc);
  // Rule 7: above 10 MHz and nothing else matched.
  EXPECT_EQ(classify_fast_timer(14'318'180, far), TimerSource::hpet);
  EXPECT_EQ(classify_fast_timer(10'000'001, far), TimerSource::hpet);
  EXPECT_EQ(classify_fast_timer(99'999'999, far), TimerSource::hpet);
}

TEST(TimerClassification, CloseToTheTscOrItsThousandTwentyFourthIsTheTsc) {
  const std::int64_t t = 3'600'000'000;
  EXPECT_EQ(classify_fast_timer(3'515'625, tsc(t)), TimerSource::itsc);  // t / 1024
  EXPECT_EQ(classify_fast_timer(3'515'625, tsc(t, false)), TimerSource::tsc);
  EXPECT_EQ(classify_fast_timer(3'515'625, tsc(0)), TimerSource::unknown);
  // The differences are strict: 100,000 away from t / 1024 no longer matches.
  EXPECT_EQ(classify_fast_timer(3'515'625 + 99'999, tsc(t)), TimerSource::itsc);
  EXPECT_EQ(classify_fast_timer(3'515'625 + 100'000, tsc(t)), TimerSource::unknown);
  EXPECT_EQ(classify_fast_timer(3'515'625 - 100'000, tsc(t)), TimerSource::unknown);
  // Within 1 MHz of the TSC itself, also below 100 MHz.
  EXPECT_EQ(classify_fast_timer(50'000'000, tsc(50'999'999)), TimerSource::itsc);
  EXPECT_EQ(classify_fast_timer(50'000'000, tsc(51'000'000)), TimerSource::hpet);
}

TEST(TimerClassification, TenMegahertzAndFastCountersFollowTheInvariantFlag) {
  for (const std::int64_t t : {std::int64_t{0}, std::int64_t{2'000'000'000}}) {
    EXPECT_EQ(classify_fast_timer(10'000'000, tsc(t, true)), TimerSource::itsc);
    EXPECT_EQ(classify_fast_timer(10'000'000, tsc(t, false)), TimerSource::tsc);
  }
  EXPECT_EQ(classify_fast_timer(1'000'000'000, tsc(0)), TimerSource::itsc);
  EXPECT_EQ(classify_fast_timer(100'000'000, tsc(0, false)), TimerSource::tsc);
  EXPECT_EQ(classify_fast_timer(9'999'999, tsc(0)), TimerSource::unknown);
  EXPECT_EQ(classify_fast_timer(0, tsc(0)), TimerSource::unknown);
  EXPECT_EQ(classify_fast_timer(-5, tsc(0)), TimerSource::unknown);
}

TEST(TimerSourceName, NamesEverySourceAndUnknownAboveSix) {
  EXPECT_EQ(timer_source_name(TimerSource::unknown), "unknown");
  EXPECT_EQ(timer_source_name(TimerSource::tsc), "TSC");
  EXPECT_EQ(timer_source_name(TimerSource::itsc), "iTSC");
  EXPECT_EQ(timer_source_name(TimerSource::hpet), "HPET");
  EXPECT_EQ(timer_source_name(TimerSource::acpi), "ACPI");
  EXPECT_EQ(timer_source_name(TimerSource::pit), "PIT");
  EXPECT_EQ(timer_source_name(TimerSource::rtc), "RTC");
  EXPECT_EQ(timer_source_name(static_cast<TimerSource>(7)), "unknown");
  EXPECT_EQ(timer_source_name(static_cast<TimerSource>(255)), "unknown");
}

TEST(SpanConversion, TruncatesAndScales) {
  const TimerInfo ten_mhz = timer(10'000'000);
  EXPECT_EQ(elapsed_seconds(ten_mhz, 0, 29'000'000), 2);
  EXPECT_EQ(elapsed_milliseconds(ten_mhz, 0, 29'000'000), 2'900);
  EXPECT_EQ(elapsed_microseconds(ten_mhz, 5, 29'000'005), 2'900'000);
  EXPECT_EQ(elapsed_microseconds(ten_mhz, 0, 9), 0);  // below one microsecond
  const TimerInfo ms = timer(1000);
  EXPECT_EQ(elapsed_milliseconds(ms, 100, 1'600), 1'500);
  EXPECT_EQ(elapsed_microseconds(ms, 0, 1'500), 1'500'000);
  EXPECT_EQ(elapsed_seconds(ms, 0, 999), 0);
}

TEST(SpanConversion, LongSpansDoNotOverflow) {
  // 10 years at 10 GHz: span * 1e6 would overflow, the split form does not.
  const TimerInfo fast = timer(10'000'000'000);
  const std::int64_t span = 10LL * 365 * 86'400 * 10'000'000'000;
  EXPECT_EQ(elapsed_microseconds(fast, 0, span), 10LL * 365 * 86'400 * 1'000'000);
  EXPECT_EQ(elapsed_seconds(fast, 0, span), 10LL * 365 * 86'400);
}

TEST(SpanConversion, NonPositiveFrequencyGivesZero) {
  for (const std::int64_t f : {std::int64_t{0}, std::int64_t{-1000}}) {
    EXPECT_EQ(elapsed_seconds(timer(f), 0, 123'456), 0);
    EXPECT_EQ(elapsed_milliseconds(timer(f), 0, 123'456), 0);
    EXPECT_EQ(elapsed_microseconds(timer(f), 0, 123'456), 0);
  }
}

TEST(OverflowGuard, EqualityCountsAsOverflow) {
  const TimerInfo ten_mhz = timer(10'000'000);
  EXPECT_TRUE(will_overflow(ten_mhz, 0, 922'337'203'685));
  EXPECT_FALSE(will_overflow(ten_mhz, 0, 922'337'203'684));
  EXPECT_FALSE(will_overflow(timer(1'000'000'000), 1'000'000'000LL * 3600, 32));
  EXPECT_TRUE(will_overflow(timer(1000), kMax - 31'000, 31));
  EXPECT_FALSE(will_overflow(timer(1000), kMax - 31'000, 30));
}

TEST(OverflowGuard, NonPositiveFrequencyOnlyAtTheLargestValue) {
  EXPECT_FALSE(will_overflow(timer(0), kMax - 1, kMax - 1));
  EXPECT_TRUE(will_overflow(timer(0), 0, kMax));
  // A negative reading is headroom, not an arithmetic overflow.
  EXPECT_FALSE(will_overflow(timer(1000), -5, 1000));
}

TEST(DisplayFrequency, PrefersTheUnderlyingFrequency) {
  EXPECT_EQ(display_frequency(timer(1000, 64)), 64);
  EXPECT_EQ(display_frequency(timer(1000, 0)), 1000);
}

TEST(CoarseTickRate, FromTheCurrentResolution) {
  int fallback_calls = 0;
  auto increment = [&]() -> std::optional<std::uint64_t> {
    ++fallback_calls;
    return 156'250;
  };
  EXPECT_EQ(coarse_tick_rate(156'250, increment), 64);  // 15.625 ms
  EXPECT_EQ(coarse_tick_rate(40'000, increment), 250);  // Linux HZ=250
  EXPECT_EQ(fallback_calls, 0);
}

TEST(CoarseTickRate, FallsBackToTheTimeIncrement) {
  const auto increment = []() -> std::optional<std::uint64_t> { return 100'000; };
  EXPECT_EQ(coarse_tick_rate(std::nullopt, increment), 100);
  // A zero resolution would divide by zero: treated as a failed query.
  EXPECT_EQ(coarse_tick_rate(0, increment), 100);
}

TEST(CoarseTickRate, ZeroWhenNothingAnswers) {
  const auto failed = []() -> std::optional<std::uint64_t> { return std::nullopt; };
  const auto zero = []() -> std::optional<std::uint64_t> { return 0; };
  EXPECT_EQ(coarse_tick_rate(std::nullopt, failed), 0);
  EXPECT_EQ(coarse_tick_rate(0, zero), 0);
  EXPECT_EQ(coarse_tick_rate(std::nullopt, nullptr), 0);
}

CpuInfo cpu(CpuVendor vendor, std::int32_t model) {
  CpuInfo c;
  c.vendor = vendor;
  c.model = model;
  return c;
}

TEST(HwbotRule, BeforeWindows8EverySourceIsCompliant) {
  for (const TimerSource s : {TimerSource::unknown, TimerSource::tsc, TimerSource::itsc,
                              TimerSource::acpi, TimerSource::pit, TimerSource::rtc}) {
    EXPECT_TRUE(hwbot_compliant(s, cpu(CpuVendor::amd, 0x31), false));
    EXPECT_TRUE(hwbot_compliant(s, cpu(CpuVendor::unknown, 0), false));
    EXPECT_TRUE(hwbot_compliant(s, cpu(CpuVendor::intel, 0x4F), false));
  }
}

TEST(HwbotRule, FromWindows8OnlyHpetOrNewerIntelModels) {
  EXPECT_TRUE(hwbot_compliant(TimerSource::hpet, cpu(CpuVendor::amd, 0x31), true));
  EXPECT_FALSE(hwbot_compliant(TimerSource::itsc, cpu(CpuVendor::amd, 0x31), true));
  EXPECT_FALSE(hwbot_compliant(TimerSource::acpi, cpu(CpuVendor::unknown, 0x9E), true));
  EXPECT_TRUE(hwbot_compliant(TimerSource::itsc, cpu(CpuVendor::intel, 0x4E), true));
  EXPECT_TRUE(hwbot_compliant(TimerSource::tsc, cpu(CpuVendor::intel, 0x55), true));
  EXPECT_TRUE(hwbot_compliant(TimerSource::unknown, cpu(CpuVendor::intel, 0x9E), true));
  EXPECT_FALSE(hwbot_compliant(TimerSource::itsc, cpu(CpuVendor::intel, 0x4F), true));
  EXPECT_TRUE(hwbot_compliant(TimerSource::hpet, cpu(CpuVendor::intel, 0x4F), true));
  EXPECT_FALSE(hwbot_compliant(TimerSource::itsc, cpu(CpuVendor::intel, 0x4D), true));
}

}  // namespace
}  // namespace brisk
