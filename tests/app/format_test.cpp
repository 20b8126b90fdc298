#include "app/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace brisk {
namespace {

constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();

TEST(FormatBytesTest, WholeBytesBelowOneKibibyte) {
  EXPECT_EQ(format_bytes(0), "0 B");
  EXPECT_EQ(format_bytes(1), "1 B");
  EXPECT_EQ(format_bytes(1023), "1023 B");
}

TEST(FormatBytesTest, UnitStepsBeforeRounding) {
  EXPECT_EQ(format_bytes(1024), "1.00 KiB");
  EXPECT_EQ(format_bytes(1536), "1.50 KiB");
  EXPECT_EQ(format_bytes(1048575), "1024.00 KiB");
  EXPECT_EQ(format_bytes(1048576), "1.00 MiB");
  EXPECT_EQ(format_bytes(18399744), "17.55 MiB");
  EXPECT_EQ(format_bytes(1ull << 30), "1.00 GiB");
  EXPECT_EQ(format_bytes(1ull << 40), "1.00 TiB");
  EXPECT_EQ(format_bytes(1ull << 50), "1.00 PiB");
}

TEST(FormatBytesTest, LargestValueStaysInExbibytes) {
  EXPECT_EQ(format_bytes(1ull << 60), "1.00 EiB");
  EXPECT_EQ(format_bytes(kMax64), "16.00 EiB");
}

TEST(FormatSiTest, PlainCountsBelowOneThousand) {
  EXPECT_EQ(format_si(0, "Hz"), "0 Hz");
  EXPECT_EQ(format_si(999, "Hz"), "999 Hz");
  EXPECT_EQ(format_si(7, ""), "7 ");
  EXPECT_EQ(format_hz(1'000'000'000), "1.00 GHz");
}

TEST(FormatSiTest, DecimalPrefixes) {
  EXPECT_EQ(format_si(1000, "Hz"), "1.00 KHz");
  EXPECT_EQ(format_si(999999, "Hz"), "1000.00 KHz");
  EXPECT_EQ(format_si(10000000, "Hz"), "10.00 MHz");
  EXPECT_EQ(format_si(3609600000, "Hz"), "3.61 GHz");
  EXPECT_EQ(format_si(1000000000000ull, "B"), "1.00 TB");
  EXPECT_EQ(format_si(1000000000000000ull, "Hz"), "1.00 PHz");
  EXPECT_EQ(format_si(kMax64, "Hz"), "18.45 EHz");
}

TEST(FormatDurationTest, LargestNonZeroUnitFirst) {
  EXPECT_EQ(format_duration(0), "0s");
  EXPECT_EQ(format_duration(59), "59s");
  EXPECT_EQ(format_duration(60), "1m 0s");
  EXPECT_EQ(format_duration(90), "1m 30s");
  EXPECT_EQ(format_duration(3599), "59m 59s");
  EXPECT_EQ(format_duration(3600), "1h 0m 0s");
  EXPECT_EQ(format_duration(3661), "1h 1m 1s");
  EXPECT_EQ(format_duration(90000), "25h 0m 0s");
  EXPECT_EQ(format_duration(kMax64), "5124095576030431h 0m 15s");
}

}  // namespace
}  // namespace brisk
