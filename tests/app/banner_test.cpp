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

TEST(FishFramesTest, EyeAndTailLinesByteForByte) {
  const auto& frames = fish_frames();
  // The eye is U+00A9 in UTF-8; the dots are U+00B7.
  EXPECT_EQ(lines_of(frames[0])[3], "  : \xC2\xA9 ):   ...____       ':`  ");
  EXPECT_EQ(lines_of(frames[1])[3], "  ) \xC2\xA9 ):   ...____       ':   ");
  const std::string dots = "\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7\xC2\xB7";
  EXPECT_EQ(lines_of(frames[0])[4], "     `" + dots + "` \\\\  `\\      .:' ");
  EXPECT_EQ(lines_of(frames[1])[4], "     `" + dots + "` \\\\\\ `\\     ;:   ");
  EXPECT_EQ(lines_of(frames[0])[2],
            "     \xC2\xB8.\xC2\xB7\xC2\xB4\xC2\xB4\xC2\xB4\xC2\xB4\xC2\xB8 ```'/''\xC2\xB7\xC2\xB4"
            "   ``: ");
  // Frames 1 and 3 differ only by the bubble in line 1, frames 2 and 4 by the
  // bubble in line 2.
  EXPECT_EQ(lines_of(frames[2])[1], " O          \xC2\xB8\xC2\xB8\xC2\xB8.:::::  .'''   ");
  EXPECT_EQ(lines_of(frames[1])[2].substr(0, 5), "  O  ");
  for (std::size_t i = 2; i <= 6; ++i) EXPECT_EQ(lines_of(frames[0])[i], lines_of(frames[2])[i]);
  EXPECT_EQ(lines_of(frames[1])[1], lines_of(frames[3])[1]);
  for (std::size_t i = 4; i <= 6; ++i) EXPECT_EQ(lines_of(frames[1])[i], lines_of(frames[3])[i]);
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
