#include "harness/harness_parse.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace brisk {
namespace {

using Values = std::vector<std::uint64_t>;
using Pieces = std::vector<std::string>;

TEST(SplitRange, CutsStartEndAndStep) {
  const auto expect = [](std::string_view text, const char* start, const char* end,
                         const char* step) {
    const RangeText pieces = split_range(text);
    EXPECT_EQ(pieces.start, start) << text;
    EXPECT_EQ(pieces.end, end) << text;
    EXPECT_EQ(pieces.step, step) << text;
  };
  expect("", "", "", "");
  expect("256", "256", "256", "");
  expect("64-512", "64", "512", "");
  expect("-512", "", "512", "");
  expect("256-", "256", "", "");
  expect("128-1024:128", "128", "1024", "128");
  expect("sse2-avx2", "sse2", "avx2", "");
  expect("10:0", "10", "10", "0");
  expect("1-2-3:4:5", "1", "2-3", "4:5");  // only the first ":" and "-" cut
  expect(":7", "", "", "7");
}

TEST(ParseDecimal, AcceptsOnlyPlainDigitsThatFitTheWidth) {
  EXPECT_EQ(parse_decimal("0", 32), 0u);
  EXPECT_EQ(parse_decimal("007", 32), 7u);
  EXPECT_EQ(parse_decimal("4294967295", 32), 4294967295u);
  EXPECT_EQ(parse_decimal("4294967296", 32), std::nullopt);
  EXPECT_EQ(parse_decimal("4294967296", 64), 4294967296u);
  EXPECT_EQ(parse_decimal("18446744073709551615", 64), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(parse_decimal("18446744073709551616", 64), std::nullopt);
  EXPECT_EQ(parse_decimal("99999999999999999999999", 64), std::nullopt);
  for (const char* bad : {"", " 1", "1 ", "+1", "-1", "1a", "0x10", "1.0", "1,2"}) {
    EXPECT_EQ(parse_decimal(bad, 64), std::nullopt) << '"' << bad << '"';
  }
}

TEST(SplitCommas, KeepsEmptyPiecesAndRefusesAuto) {
  EXPECT_EQ(split_commas("auto"), std::nullopt);
  EXPECT_EQ(split_commas("64"), Pieces{"64"});
  EXPECT_EQ(split_commas("64,1024,64"), (Pieces{"64", "1024", "64"}));
  EXPECT_EQ(split_commas("a,,b,"), (Pieces{"a", "", "b", ""}));
  EXPECT_EQ(split_commas(""), Pieces{""});
  EXPECT_EQ(split_commas("AUTO"), Pieces{"AUTO"});  // names are exact
}

TEST(ParseRange, EmptyPiecesTakeDefaultsAndBadRangesFail) {
  const auto range = [](std::string_view text) { return parse_range(text, 5, 60, 32); };
  const auto is = [](std::optional<NumericRange> r, std::uint64_t s, std::uint64_t e,
                     std::uint64_t st) {
    return r && r->start == s && r->end == e && r->step == st;
  };
  EXPECT_TRUE(is(range(""), 5, 60, 1));
  EXPECT_TRUE(is(range("auto"), 5, 60, 1));
  EXPECT_TRUE(is(range("10-30:10"), 10, 30, 10));
  EXPECT_TRUE(is(range("-30"), 5, 30, 1));
  EXPECT_TRUE(is(range("10-"), 10, 60, 1));
  EXPECT_TRUE(is(range("7"), 7, 7, 1));
  EXPECT_TRUE(is(range(":3"), 5, 60, 3));
  EXPECT_FALSE(range("30-10"));  // end before start
  EXPECT_FALSE(range("10:0"));   // step 0
  EXPECT_FALSE(range("1-x"));
  EXPECT_FALSE(range("1- 2"));
  EXPECT_FALSE(range("4294967296"));  // does not fit 32 bits
  EXPECT_TRUE(parse_range("4294967296", 1, 2, 64));
}

TEST(ExpandRange, IncludesTheEndOnlyWhenReachedExactly) {
  EXPECT_EQ(expand_range({10, 30, 10}), (Values{10, 20, 30}));
  EXPECT_EQ(expand_range({10, 35, 10}), (Values{10, 20, 30}));
  EXPECT_EQ(expand_range({7, 7, 1}), Values{7});
  EXPECT_EQ(expand_range({1, 5, 100}), Values{1});
}

TEST(ExpandRange, NeverOverflowsAndRefusesSweepsTooLongToMean) {
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  EXPECT_EQ(expand_range({max - 2, max, 1}), (Values{max - 2, max - 1, max}));
  EXPECT_EQ(expand_range({max - 5, max, 4}), (Values{max - 5, max - 1}));
  EXPECT_EQ(expand_range({0, 4294967295, 1}), std::nullopt);
  EXPECT_EQ(expand_range({1, kMaxSweepPoints, 1})->size(), kMaxSweepPoints);
  EXPECT_EQ(expand_range({0, kMaxSweepPoints, 1}), std::nullopt);
}

}  // namespace
}  // namespace brisk
