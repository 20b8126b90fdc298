#include "harness/harness_sweep.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "bench/console_capture.h"
#include "harness/drop_warning.h"
#include "harness/harness_runner.h"
#include "harness/other_load_warning.h"
#include "harness/page_warning.h"

namespace brisk {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A point whose runs return `outcomes` one after another.
harness_run fake_point(std::string label, std::uint32_t estimate, std::vector<RunOutcome> outcomes,
                       int* calls) {
  harness_run point;
  point.label = std::move(label);
  point.estimate_s = estimate;
  point.run = [outcomes, calls]() {
    const RunOutcome outcome = outcomes[static_cast<std::size_t>(*calls) % outcomes.size()];
    ++*calls;
    return outcome;
  };
  return point;
}

RunOutcome valid(double score) {
  RunOutcome outcome;
  outcome.score = score;
  outcome.valid = true;
  return outcome;
}
RunOutcome invalid() {
  RunOutcome outcome;
  outcome.score = 123.0;  // never shown: an invalid run's score is not a result
  return outcome;
}

// An outcome with what was measured during it.
RunOutcome measured(RunOutcome outcome, double steal, double other) {
  outcome.conditions.steal_percent = steal;
  outcome.conditions.other_load_percent = other;
  outcome.conditions.on_processor_percent = 99.0;
  return outcome;
}

TEST(HarnessSweep, DefaultSweepAnnouncesRunsAndTabulates) {
  harness_settings settings;
  int calls = 0;
  settings.runs.push_back(
      fake_point("none", 30, {valid(1234.56), valid(1230.0), valid(1240.0)}, &calls));
  test::ConsoleCapture console;
  perform_sweep(settings);
  EXPECT_EQ(calls, 3);
  const std::vector<std::string> expected = {
      "!!HARNESS!! run values:",
      "none",
      "!!HARNESS!! estimated total time = 1m 30s",
      "",
      "!!HARNESS!! run 1/3",
      "",
      "",
      "!!HARNESS!! run 2/3",
      "",
      "",
      "!!HARNESS!! run 3/3",
      "",
      "",
      "!!HARNESS!!",
      "=====none results=====",
      " none     |    run 1    run 2    run 3 |      avg |  max/min",
      std::string(60, '='),
      " none     |  1234.56  1230.00  1240.00 |  1234.85 |    0.81%",
  };
  EXPECT_EQ(lines(console.out()), expected);
  EXPECT_EQ(console.err(), "");
  ASSERT_EQ(settings.runs[0].results.size(), 3u);
  EXPECT_EQ(settings.runs[0].results[1].score, 1230.0);
}

std::vector<std::string> table(harness_settings& settings) {
  std::ostringstream out;
  print_results_table(settings, out);
  std::vector<std::string> all = lines(out.str());
  return std::vector<std::string>(all.begin() + 3, all.end());  // from the header on
}

TEST(HarnessSweep, InvalidSubRunsShowDashesAndStayOutOfTheStatistics) {
  harness_settings settings;
  settings.runs.push_back(fake_point("none", 30, {}, nullptr));
  settings.runs[0].results = {valid(1234.56), invalid(), valid(1240.0)};
  settings.runs.push_back(fake_point("lost", 30, {}, nullptr));
  settings.runs[1].results = {invalid(), invalid(), invalid()};
  settings.runs.push_back(fake_point("once", 30, {}, nullptr));
  settings.runs[2].results = {invalid(), valid(99.5), invalid()};
  const std::vector<std::string> rows = table(settings);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[2], " none     |  1234.56      ---  1240.00 |  1237.28 |    0.44%");
  EXPECT_EQ(rows[3], " lost     |      ---      ---      --- |      --- |      ---");
  EXPECT_EQ(rows[4], " once     |      ---    99.50      --- |    99.50 |    0.00%");
}

// Only a spread above 5% warns; just under it, invalid runs and a point
// without valid runs do not.
TEST(HarnessSweep, NoisyPointsGetOneWarningEach) {
  harness_settings settings;
  settings.var = "threads";
  const std::vector<std::pair<std::string, std::vector<RunOutcome>>> points = {
      {"1", {valid(100.0), valid(104.99)}},              // 4.99%: quiet
      {"2", {valid(262.17), invalid(), valid(310.83)}},  // 18.56%
      {"3", {invalid(), invalid()}},
      {"4", {valid(100.0), valid(105.01)}},
      // Measured: the cause of its most disturbed valid run, numbered among
      // all of the point's runs; the invalid run's figures do not count.
      {"5",
       {measured(invalid(), 0.0, 20.0), measured(valid(100.0), 0.0, 30.0),
        measured(valid(120.0), 0.0, 0.5)}},
      {"6", {measured(valid(100.0), 0.0, 0.5), measured(valid(120.0), 0.4, 1.0)}},
  };
  for (const auto& [label, results] : points) {
    settings.runs.push_back(fake_point(label, 30, {}, nullptr));
    settings.runs.back().results = results;
  }
  std::ostringstream err;
  warn_noisy_points(settings, err);
  EXPECT_EQ(err.str(),
            "warning: threads 2: spread 18.56% (over 5%): the machine was busy or throttling; its "
            "scores are not comparable as they stand\n"
            "warning: threads 4: spread 5.01% (over 5%): the machine was busy or throttling; its "
            "scores are not comparable as they stand\n"
            "warning: threads 5: spread 20.00% (over 5%): other programs used 30.0% of the "
            "processors during run 2; its scores are not comparable as they stand\n"
            "warning: threads 6: spread 20.00% (over 5%): nothing on this system was busy: the "
            "cause lies outside it (a shared host, memory traffic of neighbours, limits brisk "
            "cannot read); its scores are not comparable as they stand\n");
}

// Past 10% of the processors taken by other programs a valid run is warned
// about, whatever its point's spread.
TEST(HarnessSweep, RunsDuringOtherProgramsLoadGetAWarningEach) {
  harness_settings settings;
  settings.var = "none";
  settings.runs.push_back(fake_point("none", 30, {}, nullptr));
  settings.runs.back().results = {measured(valid(100.0), 0.0, 10.0),
                                  measured(valid(100.0), 0.0, 10.5), measured(invalid(), 0.0, 90.0),
                                  valid(100.0), measured(valid(100.0), 0.0, 55.6)};
  std::ostringstream err;
  warn_noisy_points(settings, err);
  warn_other_load(settings, err);
  EXPECT_EQ(err.str(),
            "warning: run 2: other programs used 10.5% of the processors (over 10%): its score is "
            "lower than the machine's\n"
            "warning: run 5: other programs used 55.6% of the processors (over 10%): its score is "
            "lower than the machine's\n");
  settings.var = "size";
  settings.runs.back().label = "64";
  settings.runs.back().results = {measured(valid(100.0), 0.0, 12.0)};
  std::ostringstream sweep_err;
  warn_other_load(settings, sweep_err);
  EXPECT_EQ(sweep_err.str(),
            "warning: size 64: run 1: other programs used 12.0% of the processors (over 10%): its "
            "score is lower than the machine's\n");
}

RunOutcome with_timeline(RunOutcome outcome, std::vector<double> mgups) {
  outcome.timeline.mgups = std::move(mgups);
  return outcome;
}

// One line per valid run with a drop, named like the noisy-point line; quiet
// and invalid runs say nothing.
TEST(HarnessSweep, DropsWithinARunAreLocatedOnePerRun) {
  const std::vector<double> dropped = {500, 520, 520, 410, 400, 520, 510};
  const std::vector<double> quiet = {300, 520, 500, 510, 520, 505, 515};
  for (const std::string var : {"none", "threads"}) {
    harness_settings settings;
    settings.var = var;
    settings.runs.push_back(fake_point(var == "none" ? "none" : "2", 30, {}, nullptr));
    settings.runs[0].results = {with_timeline(valid(500), quiet),
                                with_timeline(valid(480), dropped),
                                with_timeline(invalid(), dropped)};
    std::ostringstream err;
    warn_timeline_drops(settings, err);
    const std::string where = var == "none" ? "" : "threads 2: ";
    EXPECT_EQ(err.str(), "warning: " + where +
                             "run 2: from 3 s to 5 s the rate fell to 405.00 MGups, 21% below the "
                             "run's median second (515.00 MGups)\n");
  }
}

// Where the run measured its clock, the same line says what the clock did in
// the dropped seconds; where it did not, the line stays as it was.
TEST(HarnessSweep, ADropSaysWhetherTheClockHeldOrFell) {
  const std::vector<double> dropped = {500, 520, 520, 410, 400, 520, 510};
  const auto clocked = [&](std::vector<std::optional<double>> clocks) {
    RunOutcome outcome = with_timeline(valid(480), dropped);
    outcome.timeline.clock_mhz = std::move(clocks);
    return outcome;
  };
  harness_settings settings;
  settings.var = "none";
  settings.runs.push_back(fake_point("none", 30, {}, nullptr));
  settings.runs[0].results = {clocked({4100, 4190, 4190, 4180, 4160, 4190, 4190}),
                              clocked({4100, 4190, 4190, 3600, 3500, 4190, 4190}),
                              clocked({4100, 4190, 4190, 3600, 3500, 4190, 4190}),
                              clocked({std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                       std::nullopt, std::nullopt, std::nullopt})};
  settings.runs[0].results[2].timeline.clock_mhz.resize(3);  // none measured in the drop
  std::ostringstream err;
  warn_timeline_drops(settings, err);
  const std::string line =
      "from 3 s to 5 s the rate fell to 405.00 MGups, 21% below the run's median second "
      "(515.00 MGups)";
  EXPECT_EQ(err.str(), "warning: run 1: " + line + "; the clock held (4.17 GHz)\n" +
                           "warning: run 2: " + line +
                           "; the clock fell to 3.55 GHz, 15% below its median (4.19 GHz)\n" +
                           "warning: run 3: " + line + "\n" + "warning: run 4: " + line + "\n");
}

RunOutcome on_pages(RunOutcome outcome, std::string kind, double huge_percent) {
  outcome.settings.pages = std::move(kind);
  outcome.huge_percent = huge_percent;
  return outcome;
}

// Only valid runs on transparent huge pages below 90% warn, once per point
// with its lowest share (rounded down: 89.96% must not read as 90.0%); a
// pool's pages, ordinary pages and invalid runs do not.
TEST(HarnessSweep, PartlyBackedTransparentPointsGetOneWarningEach) {
  harness_settings settings;
  settings.var = "size";
  const std::vector<std::pair<std::string, std::vector<RunOutcome>>> points = {
      {"64", {on_pages(valid(100.0), "transparent", 100.0)}},
      {"128",
       {on_pages(valid(100.0), "transparent", 95.0), on_pages(valid(101.0), "transparent", 42.25),
        on_pages(valid(99.0), "transparent", 60.0)}},
      {"192", {on_pages(valid(100.0), "transparent", 90.0)}},
      {"256", {on_pages(valid(100.0), "transparent", 89.96)}},
      {"320", {on_pages(valid(100.0), "ordinary", 0.0), on_pages(valid(100.0), "hugetlb", 100.0)}},
      {"384", {on_pages(invalid(), "transparent", 10.0), on_pages(valid(1.0), "", 0.0)}},
  };
  for (const auto& [label, results] : points) {
    settings.runs.push_back(fake_point(label, 30, {}, nullptr));
    settings.runs.back().results = results;
  }
  std::ostringstream err;
  warn_partial_huge_pages(settings, err);
  EXPECT_EQ(err.str(),
            "warning: size 128: transparent huge pages covered 42.2% of the field memory (under "
            "90%): the score is not comparable with a full large-page run\n"
            "warning: size 256: transparent huge pages covered 89.9% of the field memory (under "
            "90%): the score is not comparable with a full large-page run\n");

  // Without a sweep the point is not named; the line comes after the table.
  int calls = 0;
  harness_settings single;
  single.runs.push_back(fake_point("none", 1, {on_pages(valid(50.0), "transparent", 0.0)}, &calls));
  single.sub_runs = 1;
  test::ConsoleCapture console;
  perform_sweep(single);
  EXPECT_EQ(console.err(),
            "warning: transparent huge pages covered 0.0% of the field memory (under 90%): the "
            "score is not comparable with a full large-page run\n");
  EXPECT_NE(console.out().find("=====none results====="), std::string::npos);
}

TEST(HarnessSweep, LongLabelsAndVariableNamesWidenTheFirstColumn) {
  harness_settings settings;
  settings.var = "duration";
  settings.sub_runs = 1;
  settings.runs.push_back(fake_point("a-very-long-label", 1, {}, nullptr));
  settings.runs[0].results = {valid(5.0)};
  settings.runs.push_back(fake_point("7", 1, {}, nullptr));
  settings.runs[1].results = {valid(123456.789)};
  const std::vector<std::string> rows = table(settings);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], " duration          |    run 1 |      avg |  max/min");
  EXPECT_EQ(rows[1], std::string(17 + 25 + 9, '='));
  EXPECT_EQ(rows[1].size(), rows[0].size());
  EXPECT_EQ(rows[2], " a-very-long-label |     5.00 |     5.00 |    0.00%");
  // A six-digit score overflows its cell; the row gets longer than the separator.
  EXPECT_EQ(rows[3], " 7                 | 123456.79 | 123456.79 |    0.00%");

  settings.var = "threads-and-more";
  EXPECT_EQ(table(settings)[0], " threads-and-more  |    run 1 |      avg |  max/min");
}

TEST(HarnessSweep, OneSubRunMakesA42ColumnSeparator) {
  harness_settings settings;
  settings.sub_runs = 1;
  int calls = 0;
  settings.runs.push_back(fake_point("none", 30, {valid(10.0)}, &calls));
  test::ConsoleCapture console;
  perform_sweep(settings);
  EXPECT_EQ(calls, 1);
  const std::vector<std::string> out = lines(console.out());
  EXPECT_EQ(out[2], "!!HARNESS!! estimated total time = 30s");
  EXPECT_EQ(out[4], "!!HARNESS!! run 1/1");
  EXPECT_EQ(out[out.size() - 2], std::string(42, '='));
}

TEST(HarnessSweep, ZeroSubRunsRunsNothing) {
  harness_settings settings;
  settings.sub_runs = 0;
  int calls = 0;
  settings.runs.push_back(fake_point("none", 30, {valid(10.0)}, &calls));
  test::ConsoleCapture console;
  perform_sweep(settings);
  EXPECT_EQ(calls, 0);
  const std::vector<std::string> expected = {
      "!!HARNESS!! run values:",
      "none",
      "!!HARNESS!! estimated total time = 0s",
      "",
      "!!HARNESS!!",
      "=====none results=====",
      " none     | |      avg |  max/min",
      std::string(33, '='),
      " none     | |      --- |      ---",
  };
  EXPECT_EQ(lines(console.out()), expected);
}

TEST(HarnessSweep, EstimateCountsPausesAndEverySubRun) {
  harness_settings settings;
  settings.sub_runs = 2;
  settings.runs.push_back(fake_point("64", 31, {}, nullptr));
  settings.runs.push_back(fake_point("128", 31, {}, nullptr));
  EXPECT_EQ(estimate_total_seconds(settings), 124u);
  settings.pause_ms = 1500;  // 2 points x 1.5 s of pauses
  EXPECT_EQ(estimate_total_seconds(settings), 127u);
  // Wide enough not to wrap at 32 bits.
  settings.pause_ms = 1;
  settings.sub_runs = std::numeric_limits<std::uint32_t>::max();
  EXPECT_EQ(estimate_total_seconds(settings), 2ull * 31 * 4294967295ull);
}

TEST(HarnessSweep, SubRunCountNoMachineCanHoldIsRefusedBeforeAnyRun) {
  harness_settings settings;
  settings.sub_runs = std::numeric_limits<std::uint32_t>::max();
  int calls = 0;
  // Sixteen points need over a terabyte of results, more than any test
  // machine has free, so the refusal never depends on the host.
  for (int i = 0; i < 16; ++i)
    settings.runs.push_back(fake_point("none", 30, {valid(1.0)}, &calls));
  test::ConsoleCapture console;
  perform_sweep(settings);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(console.err(),
            "cannot keep the results of 68719476720 harness runs (16 points x 4294967295 "
            "sub-runs); nothing is run\n");
  EXPECT_EQ(lines(console.out()).back(), "!!HARNESS!! estimated total time = 572662306h 0m 0s");
}

// run_harness: generator choice and its failures.
class RunHarness : public ::testing::Test {
 protected:
  RunHarness() {
    context_.config = &config_;
    context_.topology = &topology_;
    context_.perform = [this](const BenchConfig& config, TopologyHolder&) {
      performed_.push_back(config);
      return valid(static_cast<double>(config.size));
    };
  }
  BenchConfig config_;
  TopologyHolder topology_{Topology{}};
  brisk_harness_context context_;
  std::vector<BenchConfig> performed_;
};

TEST_F(RunHarness, SweepsTheChosenVariable) {
  harness_settings settings;
  settings.var = "size";
  settings.option_string = "64,128";
  settings.sub_runs = 2;
  test::ConsoleCapture console;
  run_harness(settings, context_);
  ASSERT_EQ(performed_.size(), 4u);
  EXPECT_EQ(performed_[0].size, 64u);
  EXPECT_EQ(performed_[3].size, 128u);
  const std::string out = console.out();
  EXPECT_NE(out.find("!!HARNESS!! estimated total time = 2m 4s\n"), std::string::npos);
  EXPECT_NE(out.find("!!HARNESS!! run 4/4\n"), std::string::npos);
  EXPECT_NE(out.find("=====size results=====\n"), std::string::npos);
  EXPECT_NE(out.find(" 128      |   128.00   128.00 |   128.00 |    0.00%\n"), std::string::npos);
  EXPECT_EQ(settings.runs.size(), 2u);
}

TEST_F(RunHarness, UnknownVariableRunsNothing) {
  harness_settings settings;
  settings.var = "Size";
  test::ConsoleCapture console;
  run_harness(settings, context_);
  EXPECT_TRUE(performed_.empty());
  EXPECT_EQ(console.out(), "");
  EXPECT_EQ(console.err(), "unknown var Size\n");
}

TEST_F(RunHarness, UnusableOptionStringRunsNothing) {
  harness_settings settings;
  settings.var = "isa";
  settings.option_string = "xyz";
  test::ConsoleCapture console;
  run_harness(settings, context_);
  EXPECT_TRUE(performed_.empty());
  EXPECT_EQ(console.out(), "");
  EXPECT_EQ(console.err(), "couldn't generate runs for harness for isa\txyz\n");
}

// Without points nothing runs and the table has no run columns, whatever the
// sub-run count (four billion columns would need a 38 GB header).
TEST_F(RunHarness, ThreadsOnASingleCoreMachineHaveNoPoints) {
  Topology one_core;
  one_core.numa_nodes.resize(1);
  one_core.numa_nodes[0].llcs.resize(1);
  one_core.numa_nodes[0].llcs[0].cores.resize(1);
  one_core.numa_nodes[0].llcs[0].cores[0].logicals.resize(1);
  one_core.perf_level_count = 1;
  topology_ = TopologyHolder(one_core);
  ASSERT_EQ(topology_.get().core_count(), 1u);
  for (const std::uint32_t sub_runs : {3u, std::numeric_limits<std::uint32_t>::max()}) {
    harness_settings settings;
    settings.var = "threads";
    settings.sub_runs = sub_runs;
    test::ConsoleCapture console;
    run_harness(settings, context_);
    EXPECT_TRUE(performed_.empty());
    const std::vector<std::string> expected = {
        "!!HARNESS!! run values:",
        "!!HARNESS!! estimated total time = 0s",
        "",
        "!!HARNESS!!",
        "=====threads results=====",
        " threads  | |      avg |  max/min",
        std::string(33, '='),
    };
    EXPECT_EQ(lines(console.out()), expected);
    EXPECT_EQ(console.err(), "");
  }
}

}  // namespace
}  // namespace brisk

namespace brisk {
namespace {

// The results files follow the sweep through its hooks: the points before
// the first run, then every run as soon as it is done, with its own point
// (labels may repeat, so the index tells them apart).
TEST(HarnessSweep, HooksSeeThePointsFirstThenEveryRunAsItEnds) {
  harness_settings settings;
  settings.sub_runs = 2;
  int calls = 0;
  settings.runs.push_back(fake_point("64", 1, {valid(1.0)}, &calls));
  settings.runs.push_back(fake_point("64", 1, {invalid()}, &calls));
  std::vector<std::string> seen;
  settings.hooks.points_ready = [&](const harness_settings& s) {
    seen.push_back(fmt::format("points {} after {} runs", s.runs.size(), calls));
  };
  settings.hooks.run_done = [&](const harness_settings& s, std::size_t index) {
    const RunOutcome& last = s.runs[index].results.back();
    seen.push_back(fmt::format("point {} run {} valid {} after {} runs", index,
                               s.runs[index].results.size(), last.valid, calls));
  };
  test::ConsoleCapture console;
  perform_sweep(settings);
  const std::vector<std::string> expected = {
      "points 2 after 0 runs",
      "point 0 run 1 valid true after 1 runs",
      "point 0 run 2 valid true after 2 runs",
      "point 1 run 1 valid false after 3 runs",
      "point 1 run 2 valid false after 4 runs",
  };
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace brisk
