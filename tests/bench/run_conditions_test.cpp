// The figures of a run's conditions from recorded counter samples, and the
// cause a noisy warning names.
#include "bench/run_conditions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace brisk {
namespace {

constexpr double kUserHz = 0.01;  // Linux's USER_HZ of 100

struct Counters {
  std::uint64_t total = 0;
  std::uint64_t idle = 0;
  std::optional<std::uint64_t> steal = 0;
  std::uint64_t cpu_us = 0;
  std::uint64_t switches = 0;
  std::uint64_t faults = 0;
};

CounterSample sample(const Counters& c) {
  CounterSample s;
  s.system = SystemCpuTimes{c.total, c.idle, c.steal, kUserHz};
  s.process = ProcessCounters{c.cpu_us, c.switches, c.faults};
  return s;
}

void expect_figure(const std::optional<double>& actual, const std::optional<double>& expected,
                   const char* name) {
  ASSERT_EQ(actual.has_value(), expected.has_value()) << name;
  if (expected) EXPECT_NEAR(*actual, *expected, 1e-9) << name;
}

TEST(RunConditions, FiguresFromTwoSamples) {
  struct Case {
    const char* label;
    Counters start;
    Counters end;
    double wall_seconds;
    std::uint32_t threads;
    std::optional<double> other;
    std::optional<double> steal;
    std::optional<double> on_processor;
    std::optional<std::uint64_t> switches;
  };
  // Two processors for one second are 200 ticks; one busy brisk thread is
  // 1,000,000 us of its own time.
  const std::vector<Case> cases = {
      {"quiet, one of two processors busy with brisk",
       {1000, 500, 0, 0, 10, 0},
       {1200, 600, 0, 1000000, 12, 0},
       1.0,
       1,
       0.0,
       0.0,
       100.0,
       2},
      {"another program took half a processor",
       {1000, 500, 0, 0},
       {1200, 550, 0, 1000000},
       1.0,
       1,
       25.0,
       0.0,
       100.0,
       0},
      {"the hypervisor took a tenth",
       {1000, 500, 40},
       {1200, 560, 60, 1000000},
       1.0,
       1,
       10.0,
       10.0,
       100.0,
       0},
      {"a kernel without steal",
       {1000, 500, std::nullopt},
       {1200, 550, std::nullopt, 1000000},
       1.0,
       1,
       25.0,
       std::nullopt,
       100.0,
       0},
      {"64 processors, one brisk thread",
       {0, 0},
       {6400, 6300, 0, 1000000},
       1.0,
       1,
       0.0,
       0.0,
       100.0,
       0},
      {"64 processors, 64 brisk threads preempted by another program",
       {0, 0},
       {6400, 0, 0, 48000000},
       1.0,
       64,
       25.0,
       0.0,
       75.0,
       0},
      // The system's ticks are coarse and brisk's time exact: a hair below
      // zero is zero.
      {"tick rounding", {1000, 500}, {1200, 601, 0, 1000000}, 1.0, 1, 0.0, 0.0, 100.0, 0},
      {"two threads sharing one processor",
       {0, 0},
       {200, 100, 0, 1000000},
       1.0,
       2,
       0.0,
       0.0,
       50.0,
       0},
      // A counter that went backwards (wrapped, or reset) gives no figure
      // rather than a negative one.
      {"system total backwards",
       {1000, 500},
       {900, 600, 0, 1000000},
       1.0,
       1,
       std::nullopt,
       std::nullopt,
       100.0,
       0},
      {"idle backwards",
       {1000, 500},
       {1200, 400, 0, 1000000},
       1.0,
       1,
       std::nullopt,
       std::nullopt,
       100.0,
       0},
      {"steal backwards",
       {1000, 500, 50},
       {1200, 600, 10, 1000000},
       1.0,
       1,
       std::nullopt,
       std::nullopt,
       100.0,
       0},
      {"process time backwards",
       {1000, 500, 0, 5000000},
       {1200, 600, 0, 1000000},
       1.0,
       1,
       std::nullopt,
       0.0,
       std::nullopt,
       0},
      {"switch count backwards",
       {1000, 500, 0, 0, 50},
       {1200, 600, 0, 1000000, 3},
       1.0,
       1,
       0.0,
       0.0,
       100.0,
       std::nullopt},
      {"no time passed",
       {1000, 500},
       {1000, 500},
       0.0,
       1,
       std::nullopt,
       std::nullopt,
       std::nullopt,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const RunConditions r =
        conditions_between(sample(c.start), sample(c.end), c.wall_seconds, c.threads);
    expect_figure(r.other_load_percent, c.other, "other load");
    expect_figure(r.steal_percent, c.steal, "steal");
    expect_figure(r.on_processor_percent, c.on_processor, "on processor");
    EXPECT_EQ(r.involuntary_switches, c.switches);
  }
}

TEST(RunConditions, WhatTheSystemDoesNotSayStaysUnknown) {
  CounterSample start;
  CounterSample end;
  start.process = ProcessCounters{0, std::nullopt, std::nullopt};  // as on Windows
  end.process = ProcessCounters{500000, std::nullopt, std::nullopt};
  start.clock = {3000.0, 3600.0};
  end.clock = {2799.6, 3500.2};  // means over processors, kept to whole MHz
  const RunConditions r = conditions_between(start, end, 1.0, 1);
  EXPECT_FALSE(r.other_load_percent || r.steal_percent);
  EXPECT_FALSE(r.involuntary_switches || r.major_faults);
  expect_figure(r.on_processor_percent, 50.0, "on processor");
  // The system's figures are no measured clock: the run fills those in.
  EXPECT_FALSE(r.clock_start_mhz || r.clock_end_mhz);
  EXPECT_EQ(r.clock_limit_mhz, 2800.0);
  EXPECT_EQ(r.clock_max_mhz, 3500.0);
}

RunConditions figures(std::optional<double> steal, std::optional<double> other,
                      std::optional<double> on, std::optional<double> clock_start = {},
                      std::optional<double> clock_end = {}) {
  RunConditions c;
  c.steal_percent = steal;
  c.other_load_percent = other;
  c.on_processor_percent = on;
  c.clock_start_mhz = clock_start;
  c.clock_end_mhz = clock_end;
  return c;
}

TEST(NoiseCause, TheMostSeriousMeasuredCauseOfAnyRun) {
  struct Case {
    const char* label;
    std::vector<NumberedConditions> runs;
    std::string cause;
  };
  const std::string nothing =
      "nothing on this system was busy: the cause lies outside it (a shared host, memory traffic "
      "of neighbours, limits brisk cannot read)";
  const std::vector<Case> cases = {
      {"steal comes first",
       {{1, figures(3.0, 40.0, 50.0)}},
       "the hypervisor took 3.0% during run 1"},
      {"other programs",
       {{2, figures(1.9, 6.3, 99.0)}},
       "other programs used 6.3% of the processors during run 2"},
      {"off the processors",
       {{1, figures(0.0, 4.9, 90.0)}},
       "brisk's threads were off the processors 10.0% of the time during run 1"},
      {"a falling clock",
       {{3, figures(0.0, 1.0, 99.0, 3000.0, 2700.0)}},
       "the processor clock fell from 3.00 to 2.70 GHz during run 3"},
      {"a rising clock is no cause", {{1, figures(0.0, 1.0, 99.0, 2700.0, 3000.0)}}, nothing},
      {"everything under its threshold", {{1, figures(1.9, 4.9, 95.1, 3000.0, 2880.0)}}, nothing},
      {"only other load measured (Windows)",
       {{1, figures(std::nullopt, 0.3, std::nullopt)}},
       nothing},
      {"nothing measured",
       {{1, RunConditions{}}, {2, RunConditions{}}},
       "the machine was busy or throttling"},
      {"no runs", {}, "the machine was busy or throttling"},
      {"the larger of two of a kind",
       {{1, figures(0.0, 6.0, 99.0)}, {2, figures(0.0, 31.0, 99.0)}, {3, figures(0.0, 7.0, 99.0)}},
       "other programs used 31.0% of the processors during run 2"},
      {"rank before size",
       {{1, figures(0.0, 80.0, 20.0)}, {2, figures(2.5, 0.0, 99.0)}},
       "the hypervisor took 2.5% during run 2"},
      {"a quiet run beside an unmeasured one",
       {{1, RunConditions{}}, {2, figures(0.0, 0.1, 99.9)}},
       nothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(noise_cause(c.runs), c.cause);
  }
  EXPECT_EQ(noisy_explanation({{1, figures(3.0, 0.0, 99.0)}}),
            "the hypervisor took 3.0% during run 1; its scores are not comparable as they stand");
}

// This system's counters around some work on this thread: every figure is
// unknown or within its range, never garbage.
TEST(RunConditions, MeasuredHereEveryFigureIsInRange) {
  const CounterSample start = read_counter_sample({});
  const auto begun = std::chrono::steady_clock::now();
  volatile double sink = 0.0;
  while (std::chrono::steady_clock::now() - begun < std::chrono::milliseconds(200)) sink = sink + 1;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - begun;
  const RunConditions r = conditions_between(start, read_counter_sample({}), wall.count(), 1);
  for (const std::optional<double>& percent :
       {r.other_load_percent, r.steal_percent, r.on_processor_percent}) {
    if (percent) EXPECT_TRUE(*percent >= 0.0 && *percent <= 100.0) << *percent;
  }
  EXPECT_TRUE(r.other_load_percent.has_value());
  EXPECT_TRUE(r.on_processor_percent.has_value());
  for (const std::optional<double>& mhz : {r.clock_start_mhz, r.clock_end_mhz}) {
    if (mhz) EXPECT_TRUE(*mhz >= 100.0 && *mhz <= 20000.0) << *mhz;
  }
}

}  // namespace
}  // namespace brisk
