#include "compare/comparison.h"

#include <gtest/gtest.h>

#include "compare/comparison_fixtures.h"
#include "compare/stable_context.h"

namespace brisk {
namespace {

using testing::make_document;
using testing::make_file;
using testing::PointRuns;
using Scores = std::vector<std::optional<double>>;

Comparison compare_two(const ResultsDocument& base, const ResultsDocument& other,
                       double threshold = kDefaultThresholdPercent) {
  return compare_files({make_file("a.json", base), make_file("b.json", other)}, threshold);
}

Comparison compare_point(const Scores& base, const Scores& other, double threshold) {
  return compare_two(make_document("none", {{"none", base}}),
                     make_document("none", {{"none", other}}), threshold);
}

struct VerdictCase {
  const char* name;
  Scores base;
  Scores other;
  double threshold;
  Verdict verdict;
  bool needs_more_runs;
  bool has_p;
};

TEST(Comparison, VerdictTable) {
  const std::optional<double> invalid;
  const std::vector<VerdictCase> cases = {
      {"faster", {429.87, 431.23, 428.5}, {515.84, 517.0, 514.9}, 2, Verdict::faster, false, true},
      {"slower",
       {1000, 1010, 995, 1005},
       {940, 950, 945, 938, 952, 947},
       2,
       Verdict::slower,
       false,
       true},
      {"slower but under a 6% threshold",
       {1000, 1010, 995, 1005},
       {940, 950, 945, 938, 952, 947},
       6,
       Verdict::unclear,
       false,
       true},
      {"tight interval",
       {1000, 1001, 999, 1000.5, 999.5},
       {1000.2, 1000.8, 999.3, 1000.1, 999.9},
       2,
       Verdict::no_change,
       false,
       true},
      {"significant yet under the threshold",
       {100.0, 100.2, 99.8, 100.1, 99.9},
       {101.5, 101.9, 101.1, 101.6, 101.4},
       2,
       Verdict::no_change,
       false,
       true},
      {"wide interval", {100, 104, 98}, {101, 97, 103.5}, 2, Verdict::unclear, true, true},
      {"wide interval with five runs a side",
       {100, 110, 95, 105, 90},
       {101, 92, 108, 97, 104},
       2,
       Verdict::unclear,
       false,
       true},
      {"no valid run in base",
       {invalid, invalid},
       {100, 101},
       2,
       Verdict::no_valid_run,
       false,
       false},
      {"no valid run in other", {100, 101}, {invalid}, 2, Verdict::no_valid_run, false, false},
      {"one run", {100}, {110, 111}, 2, Verdict::unclear, true, false},
      {"one valid run of two", {100, invalid}, {100, 101}, 2, Verdict::unclear, true, false},
      {"no variance, same", {100, 100, 100}, {100, 100, 100}, 2, Verdict::no_change, false, true},
      {"no variance, different", {100, 100}, {103, 103}, 2, Verdict::faster, false, true},
      {"no variance on one side",
       {500, 500, 500},
       {525, 527.5, 523, 526, 524},
       2,
       Verdict::faster,
       false,
       true},
      {"same noisy scores reordered",
       {100, 110, 105},
       {105, 100, 110},
       2,
       Verdict::no_change,
       false,
       true},
      {"same single score", {100, invalid}, {invalid, 100}, 2, Verdict::no_change, false, false},
  };
  for (const VerdictCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Comparison comparison = compare_point(c.base, c.other, c.threshold);
    ASSERT_EQ(comparison.rows.size(), 1u);
    const PointComparison& row = comparison.rows[0];
    EXPECT_EQ(verdict_name(row.verdict), verdict_name(c.verdict));
    EXPECT_EQ(row.needs_more_runs, c.needs_more_runs);
    EXPECT_EQ(row.p_value.has_value(), c.has_p);
    EXPECT_EQ(row.delta_percent.has_value(), c.verdict != Verdict::no_valid_run);
    EXPECT_EQ(row.base.runs, c.base.size());
  }
}

TEST(Comparison, IdenticalScoresAreExactlyZeroAndSingleRunsKeepTheirChange) {
  const PointComparison same = compare_point({100, 110, 105}, {110, 105, 100}, 2).rows[0];
  EXPECT_EQ(same.delta_percent, 0.0);
  const PointComparison one = compare_point({100}, {110, 111}, 2).rows[0];
  ASSERT_TRUE(one.delta_percent.has_value());
  EXPECT_DOUBLE_EQ(*one.delta_percent, 10.5);
  EXPECT_FALSE(one.ci_low_percent.has_value());
}

TEST(Comparison, SidesKeepValidScoresInOrderAndFlagNoise) {
  const PointComparison row =
      compare_point({430.0, std::nullopt, 510.0}, {400.0, 401.0}, 2).rows[0];
  EXPECT_EQ(row.base.scores, (std::vector<double>{430.0, 510.0}));
  EXPECT_EQ(row.base.runs, 3u);
  EXPECT_DOUBLE_EQ(*row.base.average, 470.0);
  EXPECT_NEAR(*row.base.spread_percent, 18.6046511627907, 1e-9);
  EXPECT_TRUE(row.base.noisy);
  EXPECT_FALSE(row.other.noisy);
}

TEST(Comparison, RepeatedLabelsMatchByOccurrenceAndPartialSweepsAreReported) {
  const ResultsDocument base =
      make_document("size", {{"64", {100, 101}}, {"1024", {50, 51}}, {"64", {200, 201}}});
  const ResultsDocument partial = make_document("size", {{"64", {100, 101}}, {"1024", {50, 51}}});
  const ResultsDocument extra = make_document(
      "size", {{"64", {100, 101}}, {"1024", {50, 51}}, {"64", {210, 211}}, {"2048", {9, 9}}});
  const Comparison c =
      compare_files({make_file("a", base), make_file("b", partial), make_file("c", extra)}, 2.0);

  ASSERT_EQ(c.rows.size(), 5u);  // file by file, in the base's order
  EXPECT_EQ(c.rows[0].file, 1u);
  EXPECT_EQ(c.rows[2].file, 2u);
  const PointComparison& second64 = c.rows[4];
  EXPECT_EQ(second64.label, "64");
  EXPECT_EQ(second64.occurrence, 1u);
  EXPECT_EQ(second64.base.scores, (std::vector<double>{200, 201}));
  EXPECT_EQ(second64.other.scores, (std::vector<double>{210, 211}));

  ASSERT_EQ(c.unmatched.size(), 2u);
  EXPECT_EQ(c.unmatched[0].label, "64");
  EXPECT_EQ(c.unmatched[0].occurrence, 1u);
  EXPECT_EQ(c.unmatched[0].present_in, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(c.unmatched[0].missing_in, (std::vector<std::size_t>{1}));
  EXPECT_EQ(c.unmatched[1].label, "2048");
  EXPECT_EQ(c.unmatched[1].present_in, (std::vector<std::size_t>{2}));
  EXPECT_EQ(c.unmatched[1].missing_in, (std::vector<std::size_t>{0, 1}));
}

TEST(Comparison, DifferentSweepVariablesShareNoPoint) {
  const Comparison c = compare_two(make_document("threads", {{"64", {1, 2}}}),
                                   make_document("size", {{"64", {1, 2}}}));
  EXPECT_TRUE(c.rows.empty());
  ASSERT_EQ(c.unmatched.size(), 2u);
  EXPECT_EQ(c.unmatched[0].variable, "threads");
  EXPECT_EQ(c.unmatched[1].variable, "size");
}

TEST(Comparison, UnlikeRunSettingsAreNamedAndKeptOutOfTheGate) {
  const Scores fast = {1000, 1010, 995, 1005};
  const Scores slow = {940, 950, 945, 938, 952, 947};
  ResultsDocument other = make_document("none", {{"none", slow}});
  const Comparison like = compare_two(make_document("none", {{"none", fast}}), other);
  EXPECT_TRUE(like.rows[0].like_for_like);
  EXPECT_TRUE(significantly_slower(like, 5.0));
  EXPECT_FALSE(significantly_slower(like, 6.0));

  for (DocumentRun& run : other.runs) {
    run.settings.threads = 4;
    run.settings.isa = "avx2";
    run.settings.large_pages = true;
    run.settings.pages = "transparent";
  }
  const Comparison unlike = compare_two(make_document("none", {{"none", fast}}), other);
  EXPECT_FALSE(unlike.rows[0].like_for_like);
  EXPECT_EQ(
      unlike.rows[0].differing_settings,
      (std::vector<std::string>{"threads 2 vs 4", "isa sse2 vs avx2", "large_pages false vs true",
                                "pages ordinary vs transparent"}));
  EXPECT_EQ(unlike.rows[0].verdict, Verdict::slower);
  EXPECT_FALSE(significantly_slower(unlike, 1.0));
}

// Each side's clock is the mean of its valid runs' measured clocks; a
// like-for-like point notes clocks 3% or more apart, so a "slower" shows
// whether the clock explains it. Files without clocks note nothing.
TEST(Comparison, MeasuredClocksThreePercentApartAreNoted) {
  const auto clocked = [](std::vector<std::optional<double>> clocks) {
    ResultsDocument doc = make_document("none", {{"none", {1000, 1010, 995}}});
    for (std::size_t i = 0; i < clocks.size(); ++i) doc.runs[i].clock_mhz = clocks[i];
    return doc;
  };
  const ResultsDocument base = clocked({4200.0, 4180.0, std::nullopt});
  const struct {
    std::vector<std::optional<double>> other;
    std::optional<double> side_mhz;
    std::optional<double> change;
  } cases[] = {
      {{4000.0, 4060.0, 4090.0}, 4050.0, (4050.0 / 4190.0 - 1.0) * 100.0},  // -3.3%
      {{4100.0, 4080.0, 4070.0}, 4083.3333333333335, std::nullopt},         // -2.5%
      {{4400.0, std::nullopt, std::nullopt}, 4400.0, (4400.0 / 4190.0 - 1.0) * 100.0},
      {{std::nullopt, std::nullopt, std::nullopt}, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    const Comparison comparison = compare_two(base, clocked(c.other));
    const PointComparison& row = comparison.rows.at(0);
    EXPECT_EQ(row.base.clock_mhz, 4190.0);
    ASSERT_EQ(row.other.clock_mhz.has_value(), c.side_mhz.has_value());
    if (c.side_mhz) EXPECT_NEAR(*row.other.clock_mhz, *c.side_mhz, 1e-9);
    ASSERT_EQ(row.clock_change_percent.has_value(), c.change.has_value());
    if (c.change) EXPECT_NEAR(*row.clock_change_percent, *c.change, 1e-9);
  }
  // Settings that differ already say why the scores differ.
  ResultsDocument unlike = clocked({4000.0, 4000.0, 4000.0});
  for (DocumentRun& run : unlike.runs) run.settings.threads = 4;
  EXPECT_FALSE(compare_two(base, unlike).rows.at(0).clock_change_percent);
}

// The kind of page is a setting of its own: the same --large-pages on a
// hugetlb pool and on transparent huge pages is not like for like. A side
// that does not say (a file of an older brisk) matches any kind.
TEST(Comparison, PageKindsAreARunSetting) {
  const Scores scores = {1000, 1010, 995};
  ResultsDocument base = make_document("none", {{"none", scores}});
  ResultsDocument other = base;
  for (ResultsDocument* doc : {&base, &other}) {
    for (DocumentRun& run : doc->runs) run.settings.large_pages = true;
  }
  for (DocumentRun& run : base.runs) run.settings.pages = "hugetlb";
  for (DocumentRun& run : other.runs) run.settings.pages = "transparent";
  const Comparison unlike = compare_two(base, other);
  EXPECT_FALSE(unlike.rows[0].like_for_like);
  EXPECT_EQ(unlike.rows[0].differing_settings,
            (std::vector<std::string>{"pages hugetlb vs transparent"}));

  for (DocumentRun& run : other.runs) run.settings.pages.clear();
  EXPECT_TRUE(compare_two(base, other).rows[0].like_for_like);
  EXPECT_TRUE(compare_two(other, base).rows[0].like_for_like);
}

TEST(Comparison, DifferencesHoldOnlyStableFacts) {
  const ResultsDocument base = make_document("none", {{"none", {1, 2}}});
  ResultsDocument drifted = base;
  drifted.machine.available_memory /= 3;
  drifted.timers.fast_frequency_hz = 2999999000;
  drifted.timers.coarse_frequency_hz = 64;
  drifted.command_line = {"brisk", "-d", "5"};
  drifted.start_time = "2027-01-01T00:00:00Z";
  const Comparison same = compare_two(base, drifted);
  EXPECT_TRUE(same.differences.empty());
  EXPECT_TRUE(same.same_machine);
  EXPECT_TRUE(same.same_build);
  EXPECT_EQ(machine_key(base), machine_key(drifted));

  ResultsDocument other = base;
  other.machine.cpu.brand = "Intel Core i9-13900K";
  other.settings.isa = "avx2";
  const Comparison differ =
      compare_files({make_file("a", base), make_file("b", other), make_file("c", drifted)}, 2.0);
  ASSERT_EQ(differ.differences.size(), 2u);
  EXPECT_EQ(differ.differences[0].field, "cpu.brand");
  EXPECT_EQ(differ.differences[0].values[1], "Intel Core i9-13900K");
  EXPECT_EQ(differ.differences[1].field, "settings.isa");
  EXPECT_EQ(differ.differences[1].values, (std::vector<std::string>{"sse2", "avx2", "sse2"}));
  EXPECT_FALSE(differ.same_machine);
  EXPECT_TRUE(differ.same_build);
  EXPECT_NE(machine_key(base), machine_key(other));

  other = base;
  other.build.compiler = "GNU 13.1.0";
  EXPECT_FALSE(compare_two(base, other).same_build);
  EXPECT_TRUE(compare_two(base, other).same_machine);
}

// The history groups documents by this key across builds and platforms: it
// must never change for the same facts.
TEST(StableContext, MachineKeyIsFixedHex) {
  const std::string key = machine_key(make_document("none", {}));
  EXPECT_EQ(key.size(), 16u);
  EXPECT_EQ(key, "4bf601a65fb695ea");
}

TEST(Comparison, PointsWithoutRunsAndTooFewFilesAreHandled) {
  ResultsDocument stopped = make_document("threads", {{"1", {100, 101}}, {"2", {}}});
  stopped.finished = false;
  const Comparison c =
      compare_two(make_document("threads", {{"1", {100, 101}}, {"2", {200, 201}}}), stopped);
  ASSERT_EQ(c.rows.size(), 2u);
  EXPECT_EQ(c.rows[1].verdict, Verdict::no_valid_run);
  EXPECT_TRUE(c.rows[1].like_for_like);

  const Comparison alone = compare_files({make_file("a", stopped)}, 2.0);
  EXPECT_TRUE(alone.rows.empty());
  EXPECT_EQ(alone.files.size(), 1u);
}

}  // namespace
}  // namespace brisk
