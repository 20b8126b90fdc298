#include "bench/run_timeline.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/timeline_drop.h"

namespace brisk {
namespace {

// Marks of one thread as a run records them, kNoMark where it recorded none.
struct ThreadTimelineCase {
  std::string name;
  std::vector<std::uint64_t> marks;
  std::uint64_t updates_per_step;
  std::vector<double> expected;  // MGups per whole second
};

class ThreadTimeline : public ::testing::TestWithParam<ThreadTimelineCase> {};

TEST_P(ThreadTimeline, GivesTheRateOfEveryWholeSecond) {
  const ThreadTimelineCase& c = GetParam();
  EXPECT_EQ(thread_timeline(c.marks, c.updates_per_step), c.expected);
}

constexpr std::uint64_t kNo = kNoMark;

INSTANTIATE_TEST_SUITE_P(
    Marks, ThreadTimeline,
    ::testing::Values(
        ThreadTimelineCase{"Steady", {0, 100, 250, 300}, 1000000, {100.0, 150.0, 50.0}},
        ThreadTimelineCase{"OneSecond", {0, 500}, 2000, {1.0}},
        // A step of almost three seconds at a large grid: its steps are spread
        // over the seconds it covered, none is lost.
        ThreadTimelineCase{
            "SkippedSeconds", {0, kNo, kNo, 3, 4}, 100000000, {100.0, 100.0, 100.0, 100.0}},
        ThreadTimelineCase{"SkippedFirstSecond", {0, kNo, 10, 30}, 1000000, {5.0, 5.0, 20.0}},
        // Failed after two seconds: the seconds it never reached are not there.
        ThreadTimelineCase{"EndedEarly", {0, 50, 100, kNo, kNo}, 1000000, {50.0, 50.0}},
        ThreadTimelineCase{"EndedInTheFirstSecond", {0, kNo, kNo}, 1000000, {}},
        ThreadTimelineCase{"NeverStarted", {kNo, kNo, kNo}, 1000000, {}},
        ThreadTimelineCase{"NoMarks", {}, 1000000, {}},
        // A count that went back is a broken mark: no progress, not 2^64 steps.
        ThreadTimelineCase{"CountWentBack", {0, 100, 90, 190}, 1000000, {100.0, 0.0, 100.0}}),
    [](const ::testing::TestParamInfo<ThreadTimelineCase>& info) { return info.param.name; });

TEST(RunTimeline, SixtyFourThreadsAreSummedPerSecond) {
  StepMarks marks(64, 3);
  for (std::uint32_t t = 0; t < 64; ++t) {
    marks.set_updates_per_step(t, 1000);
    const std::uint64_t per_second = 10 * (t + 1);
    for (std::uint32_t s = 0; s <= 3; ++s) marks.row(t)[s] = per_second * s;
  }
  const RunTimeline timeline = make_timeline(marks);
  ASSERT_EQ(timeline.threads.size(), 64u);
  EXPECT_EQ(timeline.threads[0], (std::vector<double>{0.01, 0.01, 0.01}));
  EXPECT_EQ(timeline.threads[63], (std::vector<double>{0.64, 0.64, 0.64}));
  ASSERT_EQ(timeline.mgups.size(), 3u);
  // 10 * (1 + ... + 64) steps of 1000 updates every second.
  for (const double rate : timeline.mgups) EXPECT_NEAR(rate, 20.8, 1e-9);
}

TEST(RunTimeline, AThreadThatEndedEarlyAddsNothingAfterItsEnd) {
  StepMarks marks(3, 4);
  for (std::uint32_t t = 0; t < 3; ++t) marks.set_updates_per_step(t, 1000000);
  const std::vector<std::uint64_t> full = {0, 10, 20, 30, 40};
  const std::vector<std::uint64_t> early = {0, 10, kNo, 30, kNo};
  std::copy(full.begin(), full.end(), marks.row(0).begin());
  std::copy(early.begin(), early.end(), marks.row(1).begin());
  // Thread 2 failed before its timed loop: no mark at all.
  const RunTimeline timeline = make_timeline(marks);
  EXPECT_EQ(timeline.mgups, (std::vector<double>{20.0, 20.0, 20.0, 10.0}));
  EXPECT_EQ(timeline.threads[1], (std::vector<double>{10.0, 10.0, 10.0}));
  EXPECT_TRUE(timeline.threads[2].empty());
}

TEST(RunTimeline, NoMarksGiveAnEmptyTimeline) {
  const RunTimeline none = make_timeline(StepMarks());
  EXPECT_TRUE(none.mgups.empty());
  EXPECT_TRUE(none.threads.empty());
  const StepMarks marks(2, 1);
  EXPECT_EQ(marks.row(2).size(), 0u);  // past the last thread: nothing to write into
  EXPECT_EQ(marks.row(1).size(), 2u);
  const RunTimeline unstarted = make_timeline(marks);
  EXPECT_TRUE(unstarted.mgups.empty());
  EXPECT_EQ(unstarted.threads.size(), 2u);
}

struct DropCase {
  std::string name;
  std::vector<double> mgups;
  std::optional<TimelineDrop> expected;
};

class DropFinder : public ::testing::TestWithParam<DropCase> {};

TEST_P(DropFinder, NamesTheLongestStretchBelowTheMedian) {
  const DropCase& c = GetParam();
  const std::optional<TimelineDrop> drop = find_drop(c.mgups);
  ASSERT_EQ(drop.has_value(), c.expected.has_value());
  if (!drop) return;
  EXPECT_EQ(drop->from_s, c.expected->from_s);
  EXPECT_EQ(drop->to_s, c.expected->to_s);
  EXPECT_DOUBLE_EQ(drop->rate, c.expected->rate);
  EXPECT_DOUBLE_EQ(drop->median, c.expected->median);
  EXPECT_NEAR(drop->percent_below, c.expected->percent_below, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Timelines, DropFinder,
    ::testing::Values(
        // A slow first second is warm-up; 9.9% below is within the noise.
        DropCase{"None", {50, 100, 100, 90.1, 100}, std::nullopt},
        DropCase{"One", {100, 100, 100, 60, 60, 100}, TimelineDrop{3, 5, 60, 100, 40}},
        DropCase{"TwoStretchesTheLongerNamed",
                 {100, 100, 50, 100, 100, 70, 70, 100, 100},
                 TimelineDrop{5, 7, 70, 100, 30}},
        DropCase{"EquallyLongTheDeeperNamed",
                 {100, 80, 100, 100, 40, 100},
                 TimelineDrop{4, 5, 40, 100, 60}},
        DropCase{"AtTheVeryEnd", {100, 100, 100, 100, 80, 70}, TimelineDrop{4, 6, 75, 100, 25}},
        DropCase{
            "EvenCountMedian", {1, 100, 200, 100, 200}, TimelineDrop{1, 2, 100, 150, 100.0 / 3}},
        DropCase{"OneSecond", {100}, std::nullopt},
        DropCase{"OneSecondAfterWarmUp", {100, 10}, std::nullopt},
        DropCase{"AllZero", {0, 0, 0}, std::nullopt}),
    [](const ::testing::TestParamInfo<DropCase>& info) { return info.param.name; });

}  // namespace
}  // namespace brisk
