#include "app/banner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace brisk {
namespace {

// Number of Unicode code points in well-formed UTF-8.
std::size_t code_points(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

std::vector<std::string> lines_of(std::string_view frame) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : frame) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  EXPECT_TRUE(current.empty()) << "frame must end with a line feed";
  return lines;
}

TEST(FishFramesTest, SizesOfEveryFrame) {
  for (std::string_view frame : fish_frames()) {
    EXPECT_EQ(frame.size(), 206u);
    EXPECT_EQ(code_points(frame), 187u);
    const auto lines = lines_of(frame);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "");
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(code_points(lines[i]), 30u) << i;
  }
}

TEST(PlayFishBannerTest, SeventeenFramesThenNewline) {
  std::ostringstream out;
  int pauses = 0;
  std::vector<std::uint32_t> moves;
  play_fish_banner(
      out, [&] { ++pauses; }, [&](std::uint32_t lines) { moves.push_back(lines); });

  std::string expected;
  for (int round = 0; round < 4; ++round) {
    for (std::string_view frame : fish_frames()) expected += frame;
  }
  expected += fish_frames()[3];
  expected += '\n';
  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(pauses, 16);
  EXPECT_EQ(moves, std::vector<std::uint32_t>(16, 7));
}

}  // namespace
}  // namespace brisk
