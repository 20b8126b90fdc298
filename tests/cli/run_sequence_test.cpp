// Whole benchmark runs of the built program: every workload in every ISA
// variant, the placing threading managers and an ISA sweep, each printing the
// complete sequence of a valid run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "cli/process_runner.h"
#include "cli/run_output.h"
#include "cli/terminal_runner.h"

namespace brisk::cli {
namespace {

const std::vector<std::string> kShortRun = {"-d", "1", "-s", "64", "--harness-sub-runs", "1"};

std::vector<std::string> short_run(std::vector<std::string> extra) {
  std::vector<std::string> args = kShortRun;
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

// One valid run through the default harness variable, then the prompt.
void expect_single_run(const ProcessResult& r, const std::string& workload, const std::string& isa,
                       const std::string& threading) {
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(without_load_warnings(r.err), "");
  LineCursor lines(r.out);
  expect_announcements(lines, {"none"}, "1s");
  expect_run_counter(lines, 1, 1);
  expect_valid_run(lines, workload, isa, threading);
  lines.exact("");
  lines.exact("!!HARNESS!!");
  lines.exact("=====none results=====");
  lines.exact(" none     |    run 1 |      avg |  max/min");
  lines.exact(std::string(42, '='));
  lines.match(" none     \\| +\\d+\\.\\d\\d \\| +\\d+\\.\\d\\d \\|    0\\.00%");
  lines.history();
  lines.exact("press enter to exit");
  EXPECT_TRUE(lines.at_end());
}

class RunEveryVariant : public ::testing::TestWithParam<std::tuple<std::string, std::string>> {};

TEST_P(RunEveryVariant, OneSecondAtGrid64IsValidAndPrintsTheWholeSequence) {
  const auto& [workload, isa] = GetParam();
  const ProcessResult r = run_brisk(short_run({"--workload", workload, "--isa", isa}));
  expect_single_run(r, workload, isa, "os");
}

INSTANTIATE_TEST_SUITE_P(RunVariants, RunEveryVariant,
                         ::testing::Combine(::testing::Values("standing_wave", "soft_gaussian"),
                                            ::testing::Values("sse2", "avx", "avx2", "fma")),
                         [](const auto& info) {
                           return std::get<0>(info.param) + "_" + std::get<1>(info.param);
                         });

TEST(RunThreading, NumaAndPhtePlacedRunsAreValid) {
  for (const std::string threading : {"numa", "phte"}) {
    SCOPED_TRACE(threading);
    const ProcessResult r = run_brisk(short_run({"--threading", threading}));
    expect_single_run(r, "standing_wave", "sse2", threading);
  }
}

TEST(RunSweep, IsaSweepRunsAndTabulatesFourPoints) {
  const ProcessResult r = run_brisk(short_run({"--harness-var", "isa"}));
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(without_load_warnings(r.err), "");
  const std::vector<std::string> isas = {"sse2", "avx", "avx2", "fma"};
  LineCursor lines(r.out);
  expect_announcements(lines, isas, "4s");
  for (std::size_t k = 0; k < isas.size(); ++k) {
    expect_run_counter(lines, k + 1, isas.size());
    expect_valid_run(lines, "standing_wave", isas[k], "os");
  }
  lines.exact("");
  lines.exact("!!HARNESS!!");
  lines.exact("=====isa results=====");
  lines.exact(" isa      |    run 1 |      avg |  max/min");
  lines.exact(std::string(42, '='));
  for (const std::string& isa : isas) {
    lines.match(" " + isa + " +\\| +\\d+\\.\\d\\d \\| +\\d+\\.\\d\\d \\|    0\\.00%");
  }
  lines.history();
  lines.exact("press enter to exit");
  EXPECT_TRUE(lines.at_end());
}

std::size_t json_files_in(const std::string& folder) {
  std::error_code error;
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".json") ++count;
  }
  return count;
}

// At a terminal the run prints exactly what it prints into a pipe: the
// progress line is rewritten in place (a carriage return before each update,
// no line feed until the loop ends), nothing else is written around it, and
// the prompt waits for Enter.
TEST(RunOnTerminal, ProgressRewritesInPlaceAndThePromptWaitsForEnter) {
  if (brisk_under_wine()) GTEST_SKIP() << "Wine brings its own console to a terminal";
  const char* const history = std::getenv("BRISK_RESULTS_DIR");
  ASSERT_NE(history, nullptr) << "the tests name a history folder of their own";
  const std::size_t saved_before = json_files_in(history);
  const TerminalResult t = run_brisk_on_terminal(short_run({"-n", "1"}), "press enter to exit\n",
                                                 std::chrono::seconds(120));
  // Saved where the tests said, not in the user's own history.
  EXPECT_GT(json_files_in(history), saved_before);
  ASSERT_TRUE(t.failure.empty()) << t.failure;
  EXPECT_TRUE(t.waited_at_prompt) << "brisk did not wait for Enter";
  ProcessResult r;  // one terminal for both streams: a valid run writes no error
  r.out = without_load_warnings(t.out);
  r.exit_status = t.exit_status;
  r.timed_out = t.timed_out;
  expect_single_run(r, "standing_wave", "sse2", "os");
}

// Started with no standard input at all (<&-), a run still ends normally at
// its prompt: the read at end of input fails at once, it must not hang.
TEST(RunWithoutInput, ClosedStandardInputStillEndsAtThePrompt) {
  const ProcessResult r =
      run_brisk(short_run({"-n", "1"}), std::chrono::seconds(60), Input::closed);
  ASSERT_TRUE(r.failure.empty()) << r.failure;
  expect_single_run(r, "standing_wave", "sse2", "os");
}

}  // namespace
}  // namespace brisk::cli
