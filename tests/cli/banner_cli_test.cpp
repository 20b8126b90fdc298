// The fish banner end to end: with standard output redirected it prints all
// seventeen frames one after another, then a newline, and no escape sequence.
#include <gtest/gtest.h>

#include <string>

#include "cli/process_runner.h"

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

}  // namespace
}  // namespace brisk::cli
