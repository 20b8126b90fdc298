#include "bench/aggregate_results.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/console_capture.h"
#include "brisk_version.h"
#include "platform/cpu_info.h"

namespace brisk {
namespace {

ThreadResult thread(std::uint32_t index, std::uint64_t updates, std::int64_t fast_us,
                    std::int64_t coarse_ms, std::uint64_t iterations = 10) {
  return ThreadResult{index, coarse_ms, fast_us, iterations, updates};
}

RunResult run_of(std::vector<ThreadResult> threads) {
  RunResult result;
  result.thread_count = static_cast<std::uint32_t>(threads.size());
  result.results = std::move(threads);
  result.workload = "standing_wave";
  result.isa = "avx2";
  return result;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

const char* const kInvalidBox = "==================\n  invalid result \n==================\n";

TEST(AggregateResults, ValidRunPrintsTableVerdictAndSummedScore) {
  test::ConsoleCapture console;
  const RunOutcome outcome = aggregate_results(
      run_of({thread(1, 41154000, 1000000, 1000, 7), thread(0, 41149000, 1000000, 1001, 8)}));
  ASSERT_TRUE(outcome.valid);
  EXPECT_NEAR(outcome.score, 82.303, 1e-9);
  // The per-thread rates are rounded for the table only; the score sums them
  // unrounded and rounds once, to four significant digits below 100.
  const std::vector<std::string> expected = {
      "thread  grid updates   time  MGups  iterations",
      "     1      41154000  1.00s  41.15           7",
      "     0      41149000  1.00s  41.15           8",
      "===============",
      "  valid result ",
      "===============",
      "brisk v" + std::string(kVersion) + " standing_wave avx2",
      read_brand_string(),
      "final score: 82.3 MGups",
  };
  EXPECT_EQ(lines(console.out()), expected);
  EXPECT_EQ(console.err(), "");
  // The results files get every thread, in finishing order, with the rate
  // that went into the score.
  ASSERT_EQ(outcome.threads.size(), 2u);
  EXPECT_EQ(outcome.threads[0].result.thread_index, 1u);
  EXPECT_EQ(outcome.threads[0].mgups, 41.154);
  EXPECT_EQ(outcome.threads[1].mgups, 41.149);
  EXPECT_TRUE(outcome.messages.empty());
}

TEST(AggregateResults, WideCountsWidenTheirColumn) {
  test::ConsoleCapture console;
  aggregate_results(run_of({thread(0, 1234567890123, 2500000, 2500, 3)}));
  const std::vector<std::string> out = lines(console.out());
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[0], "thread   grid updates   time      MGups  iterations");
  EXPECT_EQ(out[1], "     0  1234567890123  2.50s  493827.16           3");
}

std::string final_line(double updates, std::int64_t fast_us) {
  test::ConsoleCapture console;
  aggregate_results(
      run_of({thread(0, static_cast<std::uint64_t>(updates), fast_us, fast_us / 1000)}));
  const std::vector<std::string> out = lines(console.out());
  return out.empty() ? "" : out.back();
}

TEST(AggregateResults, ScoreFormatSwitchesAbove100) {
  EXPECT_EQ(final_line(100000000, 1000000), "final score: 100 MGups");
  EXPECT_EQ(final_line(100010000, 1000000), "final score: 100.01 MGups");
  EXPECT_EQ(final_line(5432100, 1000000), "final score: 5.432 MGups");
  EXPECT_EQ(final_line(123456, 1000000000), "final score: 0.0001235 MGups");
}

TEST(AggregateResults, TimersMayDisagreeBy31msButNot32) {
  for (const std::int64_t coarse : {30031, 29969}) {
    test::ConsoleCapture console;
    EXPECT_TRUE(aggregate_results(run_of({thread(0, 1000, 30000999, coarse)})).valid) << coarse;
  }
  for (const std::int64_t coarse : {30032, 29968}) {
    test::ConsoleCapture console;
    const RunOutcome outcome = aggregate_results(
        run_of({thread(2, 1000, 30000999, 30000), thread(5, 1000, 30000999, coarse)}));
    EXPECT_FALSE(outcome.valid);
    EXPECT_EQ(outcome.score, 0.0);
    // The table is still shown, then the verdict names the failing thread's spans.
    EXPECT_EQ(lines(console.out()).size(), 3u);
    EXPECT_EQ(console.err(),
              std::string(kInvalidBox) +
                  "disagreement between timers for total work is larger than tolerance\n" +
                  "fast timer = 30000ms    coarse timer = " + std::to_string(coarse) + "ms\n");
    // The results files keep the same lines, without the box.
    const std::vector<std::string> reasons = {
        "disagreement between timers for total work is larger than tolerance",
        "fast timer = 30000ms    coarse timer = " + std::to_string(coarse) + "ms"};
    EXPECT_EQ(outcome.messages, reasons);
    EXPECT_EQ(outcome.threads.size(), 2u);
  }
}

TEST(AggregateResults, AbortedRunPrintsOnlyTheInvalidBox) {
  test::ConsoleCapture console;
  RunResult result = run_of({thread(0, 1000, 1000000, 1000)});
  result.aborted = true;
  // What a failing worker printed before the verdict.
  result.messages = {"field allocation failed in thread 1", "out of memory"};
  const RunOutcome outcome = aggregate_results(result);
  EXPECT_FALSE(outcome.valid);
  EXPECT_EQ(console.out(), "");
  EXPECT_EQ(console.err(), kInvalidBox);
  EXPECT_EQ(outcome.messages, result.messages);
}

TEST(AggregateResults, MissingResultsAreInvalid) {
  for (std::uint32_t threads : {1u, 4u, 0u}) {
    test::ConsoleCapture console;
    RunResult result = run_of({});
    result.thread_count = threads;
    if (threads == 4) result.results = {thread(0, 1000, 1000000, 1000)};
    const RunOutcome outcome = aggregate_results(result);
    EXPECT_FALSE(outcome.valid) << threads;
    EXPECT_EQ(console.out(), "");
    EXPECT_EQ(console.err(), std::string(kInvalidBox) + "not all threads produced a result\n");
    EXPECT_EQ(outcome.messages, std::vector<std::string>{"not all threads produced a result"});
  }
}

}  // namespace
}  // namespace brisk
