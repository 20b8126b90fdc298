// brisk stability in process, with a bit flipped on the second logical
// processor through the run seams (nothing on the command line can do that):
// that row fails, the others are ok, the exit status is 4, and the results
// document carries the table.
#include "app/stability_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "app/stability_table.h"
#include "bench/bit_flip_workload.h"
#include "bench/console_capture.h"
#include "platform/scratch_dir.h"

namespace brisk {
namespace {

TEST(StabilityCommand, FlipOnTheSecondProcessorFailsThatRowAndExitsWithFour) {
  TopologyHolder topology;
  const std::size_t processors =
      stability_targets(topology.get(), [](std::uint16_t, std::uint32_t) {
        return std::optional<std::uint32_t>();
      }).size();
  if (processors < 2) GTEST_SKIP() << "needs two logical processors";
  testing::ScratchDir dir;
  const std::string json = dir.utf8("stability.json");
  test::FlipPlan plan;
  plan.build = 1;  // the second workload built: the second processor's
  const RunSeams seams = test::flip_seams(default_run_seams(), plan);
  const std::vector<std::string> args = {"-s", "64", "-d", "1", "--rounds", "1", "--export-json",
                                         json};
  int status = 0;
  std::string out;
  {
    test::ConsoleCapture console;
    status = run_stability_command(args, {"brisk", "stability"}, topology, seams);
    out = console.out();
  }
  EXPECT_EQ(status, kWrongValueComputed) << out;
  // The table: a header, then one row per processor in order.
  const std::size_t table = out.find("package  core  logical processor");
  ASSERT_NE(table, std::string::npos) << out;
  std::istringstream lines(out.substr(table));
  std::string line;
  std::getline(lines, line);
  for (std::size_t row = 0; row < processors; ++row) {
    ASSERT_TRUE(std::getline(lines, line)) << out;
    if (row == 1) {
      EXPECT_TRUE(std::regex_search(
          line, std::regex(" [1-9]\\d* wrong values, first [EH]\\(\\d+, \\d+, \\d+\\)\\.\\w+: "
                           "expected \\S+, found \\S+, round 1$")))
          << line;
    } else {
      EXPECT_TRUE(line.ends_with("  ok")) << line;
    }
  }

  std::ifstream file(json);
  const nlohmann::json document = nlohmann::json::parse(file);
  const nlohmann::json& rows = document.at("stability").at("rows");
  ASSERT_EQ(rows.size(), processors);
  EXPECT_TRUE(rows[0].at("failure").is_null());
  EXPECT_TRUE(rows[1].at("failure").at("wrong_value").get<bool>());
  EXPECT_GT(rows[1].at("failure").at("wrong_values").get<std::uint64_t>(), 0u);
  EXPECT_EQ(document.at("stability").at("rounds"), 1);
  EXPECT_GT(rows[0].at("mgups").get<double>(), 0.0);
}

TEST(StabilityCommand, RefusesBadSettingsBeforeRunning) {
  TopologyHolder topology;
  const std::vector<std::vector<std::string>> bad = {{"-s", "100"},
                                                     {"--isa", "avx512"},
                                                     {"--rounds", "0"},
                                                     {"--export-json", ""},
                                                     {"--frobnicate"}};
  for (const std::vector<std::string>& args : bad) {
    test::ConsoleCapture console;
    EXPECT_EQ(run_stability_command(args, {"brisk", "stability"}, topology), 1);
    EXPECT_EQ(console.out(), "");
    EXPECT_NE(console.err(), "");
  }
}

TEST(StabilityCommand, TableMarksSlowRowsAndSaysWhatWentWrong) {
  std::vector<StabilityRow> rows(3);
  rows[0].target.package = 0;
  rows[0].mgups = 400.0;
  rows[1].target.package = 0;
  rows[1].target.core = 1;
  rows[1].target.processor.os_index = 1;
  rows[1].mgups = 300.0;
  rows[1].slow = true;
  rows[2].target.core = 2;
  rows[2].target.processor = LogicalProcessor{0, 2, 3, 1};
  rows[2].failure = StabilityFailure{2, std::nullopt, "field allocation failed", false};
  EXPECT_EQ(stability_table_lines(rows),
            (std::vector<std::string>{
                "package  core  logical processor   MGups  clock MHz  speed  result",
                "      0     0                  0  400.00          -         ok",
                "      0     1                  1  300.00          -   slow  ok",
                "      ?     2                1:3       -          -         field allocation "
                "failed, round 2",
                "slow: more than 10% below the median MGups of the logical processors"}));
}

}  // namespace
}  // namespace brisk
