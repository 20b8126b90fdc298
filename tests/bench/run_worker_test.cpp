#include "bench/run_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <regex>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/bit_flip_workload.h"
#include "bench/run_fixture.h"

namespace brisk {
namespace {

using test::contains;
using test::FailAt;
using test::failure_text;

// Positions of `parts` in `text`, which must appear in this order.
void expect_in_order(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part << "\nafter:\n"
                                        << text.substr(at > 300 ? at - 300 : 0, 600);
    at = found + part.size();
  }
}

TEST(RunWorker, FourThreadsRunTheWholeProtocolAndAllProduceResults) {
  const test::RunRecord run = test::perform_run(4, {});
  EXPECT_TRUE(run.outcome.valid) << run.err;
  EXPECT_FALSE(run.result.aborted);
  ASSERT_EQ(run.result.results.size(), 4u);
  std::vector<bool> seen(4, false);
  for (const ThreadResult& thread : run.result.results) {
    ASSERT_LT(thread.thread_index, 4u);
    seen[thread.thread_index] = true;
    EXPECT_GT(thread.iterations, 0u);
    EXPECT_EQ(thread.updates, thread.iterations * 1000);
    EXPECT_GE(thread.coarse_ms, 1000);  // the loop ends on the coarse timer
    EXPECT_LE(thread.fast_us / 1000, thread.coarse_ms + 31);
    // The loop ends at the step that reaches the duration, which is also the
    // step that records the last mark.
    const std::span<const std::uint64_t> marks =
        std::as_const(run.result.marks).row(thread.thread_index);
    EXPECT_EQ(std::vector<std::uint64_t>(marks.begin(), marks.end()),
              (std::vector<std::uint64_t>{0, thread.iterations}));
    EXPECT_EQ(run.outcome.timeline.threads.at(thread.thread_index),
              std::vector<double>{static_cast<double>(thread.updates) / 1e6});
  }
  ASSERT_EQ(run.outcome.timeline.mgups.size(), 1u);
  EXPECT_GT(run.outcome.timeline.mgups[0], 0.0);
  EXPECT_EQ(seen, std::vector<bool>(4, true));
  EXPECT_EQ(run.made, 4);
  EXPECT_EQ(run.destroyed, 4);
  expect_in_order(
      run.out, {"running with 4 threads (os)\n", "64 x 64 x 64 grid\n", "17.55 MiB per thread\n",
                "70.19 MiB total\n", "Fast Timer Frequency: ", "Coarse Timer Frequency: ",
                "allocating fields.... \n", "initalizing fields...\n", "initialization took ",
                "ms\n", "starting bench..\n", "\rbenchmarking... 0/1s ", " iterations",
                // the last line shows the fast timer's whole seconds
                " iterations\n", "validating result..\n", "thread  grid updates", "  valid result ",
                "final score: "});
  EXPECT_EQ(run.err, "");
}

// Every thread probes its clock just before its timed loop, at each whole
// second and just after it; the run keeps each second's clock per thread and
// their mean, and the loop-edge means as its start and end clocks.
TEST(RunWorker, EveryThreadMeasuresItsClockAtEachMarkAndAroundItsLoop) {
  for (const std::optional<double> probed :
       {std::optional<double>(3210.0), std::optional<double>()}) {
    std::atomic<int> probes{0};
    const test::RunRecord run = test::perform_run(4, {}, [&](RunSeams& seams) {
      seams.measure_clock = [&probes, probed] {
        ++probes;
        return probed;
      };
    });
    ASSERT_TRUE(run.outcome.valid) << run.err;
    EXPECT_EQ(probes.load(), 4 * 3);
    const RunTimeline& timeline = run.outcome.timeline;
    EXPECT_EQ(timeline.clock_mhz, std::vector<std::optional<double>>{probed});
    ASSERT_EQ(timeline.threads_clock_mhz.size(), 4u);
    for (const auto& clocks : timeline.threads_clock_mhz) {
      EXPECT_EQ(clocks, std::vector<std::optional<double>>{probed});
    }
    EXPECT_EQ(run.outcome.conditions.clock_start_mhz, probed);
    EXPECT_EQ(run.outcome.conditions.clock_end_mhz, probed);
    EXPECT_EQ(run.err, "");  // nothing new is said during a run
  }
}

TEST(RunWorker, OneThreadRunNeedsNoOtherThread) {
  test::RunRecord run = test::perform_run(1, {}, [](RunSeams& seams) {
    seams.start_thread = [](const WorkerContext&) -> std::thread {
      ADD_FAILURE() << "a one-thread run started a thread";
      return {};
    };
  });
  EXPECT_TRUE(run.outcome.valid) << run.err;
  EXPECT_TRUE(contains(run.out, "running with 1 thread (os)\n"));
}

// The real standing_wave, one bit of one E value flipped before step 10 in
// thread 1: the lowest mantissa bit passes the node check after every step,
// and the whole grid compared after the loop catches it. Without the flip the
// same run is valid.
TEST(RunWorker, FlippedBitMakesTheRunInvalidWithThreadProcessorAndCount) {
  for (const bool flipped : {true, false}) {
    test::FlipPlan plan;
    plan.thread = flipped ? 1 : 99;
    plan.at_step = 10;
    const test::RunRecord run =
        test::perform_run(2, {}, [&](RunSeams& seams) { seams = test::flip_seams(seams, plan); });
    if (!flipped) {
      EXPECT_TRUE(run.outcome.valid) << run.err;
      EXPECT_EQ(run.err, "");
      continue;
    }
    EXPECT_FALSE(run.outcome.valid);
    EXPECT_TRUE(run.result.aborted);
    static const std::regex text(
        R"(\ngrid verification failure in thread 1 on logical processor \d+\n)"
        R"(wrong values = [1-9]\d* of 2299968\n)"
        R"(first wrong value = [EH]\(\d+, \d+, \d+\)\.(x|y|z|pad)\n)"
        R"(expected = \S+\nfound = \S+\n)");
    EXPECT_TRUE(std::regex_search(run.err, text)) << run.err;
    EXPECT_FALSE(contains(run.err, "node verification failure")) << run.err;
    EXPECT_TRUE(run.err.ends_with(test::kInvalidBox)) << run.err;
    for (const ThreadResult& result : run.result.results) EXPECT_NE(result.thread_index, 1u);
  }
}

class WorkerFailure : public ::testing::TestWithParam<std::tuple<FailAt, std::uint32_t>> {};

TEST_P(WorkerFailure, StopsTheRunJoinsEveryThreadAndReportsIt) {
  const auto [where, thread] = GetParam();
  const test::RunRecord run = test::perform_run(4, {where, thread, 2});
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_TRUE(run.result.aborted);
  EXPECT_EQ(run.made, run.destroyed) << "a workload outlived the run";
  EXPECT_EQ(run.made, where == FailAt::make ? 3 : 4);
  for (const ThreadResult& result : run.result.results) EXPECT_NE(result.thread_index, thread);
  EXPECT_TRUE(run.err.ends_with(test::kInvalidBox)) << run.err;
  // Every thread has its place in the timeline; only a failure after the
  // timed loops leaves whole seconds in it.
  ASSERT_EQ(run.outcome.timeline.threads.size(), 4u);
  EXPECT_EQ(run.outcome.timeline.threads[thread].size(), where == FailAt::validate ? 1u : 0u);
  EXPECT_EQ(run.outcome.timeline.mgups.size(), where == FailAt::validate ? 1u : 0u);

  const std::string text = failure_text(where, thread);
  switch (where) {
    case FailAt::make:
      EXPECT_TRUE(contains(
          run.err, "could not initalize workload test in thread " + std::to_string(thread) + "\n"))
          << run.err;
      break;
    case FailAt::allocate:
      EXPECT_TRUE(contains(run.err, "field allocation failed in thread " + std::to_string(thread) +
                                        "\n" + text + "\n"))
          << run.err;
      break;
    case FailAt::init:
      EXPECT_TRUE(contains(run.err, "failed to initalize field in thread " +
                                        std::to_string(thread) + "\n" + text + "\n"))
          << run.err;
      break;
    default:
      EXPECT_TRUE(contains(run.err, text + "\n")) << run.err;
  }
  // How far the reporter got before it saw the stop.
  const bool before_meeting_one = where == FailAt::make || where == FailAt::allocate;
  EXPECT_EQ(contains(run.out, "initalizing fields..."), !before_meeting_one) << run.out;
  EXPECT_EQ(contains(run.out, "initialization took"), !before_meeting_one && where != FailAt::init);
  if (where == FailAt::validate) {
    // The failing thread has finished its loop; others may still be in
    // theirs and leave at their next check.
    if (thread == 0) {
      EXPECT_TRUE(contains(run.out, "validating result.."));
    }
  } else {
    EXPECT_TRUE(run.result.results.empty());
  }
  // A reporter that fails in its loop leaves its progress line unfinished and
  // the failure text follows right behind it.
  if (thread == 0 &&
      (where == FailAt::apply_source || where == FailAt::step || where == FailAt::verify)) {
    EXPECT_TRUE(contains(run.all, " iterations" + text + "\n")) << run.all;
    EXPECT_FALSE(contains(run.out, "validating result.."));
  }
}

std::string failure_case_name(
    const ::testing::TestParamInfo<std::tuple<FailAt, std::uint32_t>>& info) {
  static const char* const names[] = {"Nowhere",     "Make", "Allocate", "Init",
                                      "ApplySource", "Step", "Verify",   "Validate"};
  return std::string(names[static_cast<int>(std::get<0>(info.param))]) + "InThread" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AllPlaces, WorkerFailure,
                         ::testing::Combine(::testing::Values(FailAt::make, FailAt::allocate,
                                                              FailAt::init, FailAt::apply_source,
                                                              FailAt::step, FailAt::verify,
                                                              FailAt::validate),
                                            ::testing::Values(0u, 3u)),
                         failure_case_name);

}  // namespace
}  // namespace brisk
