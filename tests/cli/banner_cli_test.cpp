// The fish banner end to end: with standard output redirected it prints all
// seventeen frames one after another, then a newline, and no escape sequence;
// on a terminal each frame is followed by the move back up over it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cli/process_runner.h"
#include "cli/terminal_runner.h"

namespace brisk::cli {
namespace {

// The four frames, written in UTF-8 like the program writes them.
// clang-format off
const std::string kFrames[4] = {
    // frame 1
    "\n"
    "            ¸¸¸.:::::  .'''   \n"
    "     ¸.·´´´´¸ ```'/''·´   ``: \n"
    "  : © ):   ...____       ':`  \n"
    "     `······` \\\\  `\\      .:' \n"
    "                `   '...:;`   \n"
    "                       ``     \n",
    // frame 2
    "\n"
    "            ¸¸¸.:::::  .''    \n"
    "  O  ¸.·´´´´¸ ```'/''·´  ';   \n"
    "  ) © ):   ...____       ':   \n"
    "     `······` \\\\\\ `\\     ;:   \n"
    "                    '...;`    \n"
    "                       `      \n",
    // frame 3
    "\n"
    " O          ¸¸¸.:::::  .'''   \n"
    "     ¸.·´´´´¸ ```'/''·´   ``: \n"
    "  : © ):   ...____       ':`  \n"
    "     `······` \\\\  `\\      .:' \n"
    "                `   '...:;`   \n"
    "                       ``     \n",
    // frame 4
    "\n"
    "            ¸¸¸.:::::  .''    \n"
    "     ¸.·´´´´¸ ```'/''·´  ';   \n"
    "  : © ):   ...____       ':   \n"
    "     `······` \\\\\\ `\\     ;:   \n"
    "                    '...;`    \n"
    "                       `      \n",
};
// clang-format on

TEST(BannerCliTest, BriskWinsOverEverythingAndPlaysSeventeenFrames) {
  // Invalid settings and every other mode are ignored for the banner.
  const ProcessResult r = run_brisk({"--size", "100", "--workload", "x", "--isa", "y",
                                     "--topo-debug", "--timer-debug", "--brisk", "--help"});
  ASSERT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  std::string expected;
  for (int round = 0; round < 4; ++round) {
    for (const std::string& frame : kFrames) expected += frame;
  }
  expected += kFrames[3] + "\n";
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out, expected);
}

TEST(BannerCliTest, OnATerminalEveryFrameMovesBackUpOverItself) {
  if (brisk_under_wine()) GTEST_SKIP() << "Wine brings its own console to a terminal";
  const TerminalResult t = run_brisk_on_terminal({"--brisk"}, "", std::chrono::seconds(60));
  ASSERT_TRUE(t.failure.empty()) << t.failure;
  EXPECT_FALSE(t.timed_out);
  EXPECT_EQ(t.exit_status, 0);
  // Cursor Previous Line, seven lines: back to the start of the frame.
  std::string expected;
  for (int round = 0; round < 4; ++round) {
    for (const std::string& frame : kFrames) expected += frame + "\x1b[7F";
  }
  expected += kFrames[3] + "\n";
  EXPECT_EQ(t.out, expected);
}

}  // namespace
}  // namespace brisk::cli
