#include "bench/run_timeline.h"

#include <gtest/gtest.h>

#include <cmath>
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

// The clock of a second is the one measured at the mark that ends it; a long
// step's seconds share the mark after it, and an unmeasured clock is none,
// never 0 or NaN.
TEST(RunTimeline, EachSecondTakesTheClockOfTheMarkThatEndsIt) {
  constexpr float kNaN = kNoClock;
  const std::vector<std::uint64_t> marks = {0, 10, kNo, 30, 40, kNo};
  const std::vector<float> clocks = {4100.0f, 4000.0f, kNaN, 3800.0f, kNaN, kNaN, 3900.0f};
  const std::vector<std::optional<double>> expected = {4000.0, 3800.0, 3800.0, std::nullopt};
  EXPECT_EQ(thread_clock_timeline(marks, clocks), expected);
  const std::vector<std::uint64_t> never_started = {kNo, kNo};
  EXPECT_TRUE(thread_clock_timeline(never_started, clocks).empty());
}

TEST(RunTimeline, ClocksAreAveragedOverTheThreadsThatMeasuredThem) {
  StepMarks marks(3, 2);
  for (std::uint32_t t = 0; t < 3; ++t) {
    marks.set_updates_per_step(t, 1000);
    for (std::uint32_t s = 0; s <= 2; ++s) marks.row(t)[s] = 100 * s;
  }
  ASSERT_EQ(marks.clocks(0).size(), 4u);  // before, two seconds, after
  EXPECT_TRUE(std::isnan(marks.clocks(2)[1]));
  const float thread0[] = {3000.0f, 3100.0f, 3200.0f, 3300.0f};
  const float thread1[] = {4000.0f, 4100.0f, kNoClock, kNoClock};
  std::copy(std::begin(thread0), std::end(thread0), marks.clocks(0).begin());
  std::copy(std::begin(thread1), std::end(thread1), marks.clocks(1).begin());
  // Thread 2 measured nothing: the means are over the two others, or thread 0 alone.
  const RunTimeline timeline = make_timeline(marks);
  EXPECT_EQ(timeline.clock_mhz, (std::vector<std::optional<double>>{3600.0, 3200.0}));
  ASSERT_EQ(timeline.threads_clock_mhz.size(), 3u);
  EXPECT_EQ(timeline.threads_clock_mhz[1],
            (std::vector<std::optional<double>>{4100.0, std::nullopt}));
  EXPECT_EQ(timeline.threads_clock_mhz[2].size(), timeline.threads[2].size());
  EXPECT_EQ(loop_edge_clock(marks, true), 3500.0);
  EXPECT_EQ(loop_edge_clock(marks, false), 3300.0);
  EXPECT_FALSE(loop_edge_clock(StepMarks(2, 1), true));
  EXPECT_EQ(mean_clock(timeline.threads_clock_mhz[1]), 4100.0);
  EXPECT_FALSE(mean_clock({std::nullopt, std::nullopt}));
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

// The clock of the dropped seconds against the run's median measured second.
TEST(DropClock, SaysWhetherTheClockHeldOrFell) {
  const TimelineDrop drop{3, 5, 60, 100, 40};
  const std::vector<std::optional<double>> held = {2000.0, 4000.0, 4000.0, 3950.0, 3930.0, 4000.0};
  const std::optional<DropClock> h = drop_clock(held, drop);
  ASSERT_TRUE(h);
  EXPECT_DOUBLE_EQ(h->mhz, 3940.0);
  EXPECT_DOUBLE_EQ(h->median_mhz, 4000.0);  // the slow first second left out
  EXPECT_LT(h->percent_below, kClockHeldPercent);
  const std::vector<std::optional<double>> fell = {4000.0, 4000.0,       4000.0,
                                                   3000.0, std::nullopt, 4000.0};
  const std::optional<DropClock> f = drop_clock(fell, drop);
  ASSERT_TRUE(f);
  EXPECT_DOUBLE_EQ(f->mhz, 3000.0);  // the unmeasured second is not a 0 MHz one
  EXPECT_DOUBLE_EQ(f->percent_below, 25.0);
  const std::vector<std::optional<double>> unmeasured = {4000.0,       4000.0,       4000.0,
                                                         std::nullopt, std::nullopt, 4000.0};
  EXPECT_FALSE(drop_clock(unmeasured, drop));
  EXPECT_FALSE(drop_clock({}, drop));  // files without clocks
}

}  // namespace
}  // namespace brisk
