#include "argparse/convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace brisk::argparse {
namespace {

TEST(ConvertTest, AcceptsDecimalDigitsWithinTheType) {
  EXPECT_EQ(parse_uint32("0"), 0u);
  EXPECT_EQ(parse_uint32("007"), 7u);
  EXPECT_EQ(parse_uint32("4294967295"), std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(parse_uint32("0000000000004294967295"), std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(parse_uint64("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(parse_uint64("4294967296"), 4294967296ull);
}

TEST(ConvertTest, RejectsValuesOneAboveTheLimit) {
  EXPECT_FALSE(parse_uint32("4294967296"));
  EXPECT_FALSE(parse_uint32("4294967300"));
  EXPECT_FALSE(parse_uint32("42949672950"));
  EXPECT_FALSE(parse_uint64("18446744073709551616"));
  EXPECT_FALSE(parse_uint64("18446744073709551620"));
  EXPECT_FALSE(parse_uint64("99999999999999999999"));
  EXPECT_FALSE(parse_uint64("184467440737095516150"));
}

TEST(ConvertTest, RejectsAnythingButPlainDigits) {
  for (const char* text : {"", "-1", "+5", " 12", "12 ", "12abc", "0x10", "1e3", "1.0", "١"}) {
    EXPECT_FALSE(parse_uint32(text)) << '"' << text << '"';
    EXPECT_FALSE(parse_uint64(text)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace brisk::argparse
