#include "report/comparison_page.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "compare/comparison_json.h"
#include "compare/welch_test.h"

namespace brisk {
namespace {

struct SamplePoint {
  std::string label;
  std::vector<double> scores;  // 0 for an invalid run
};

// Ten seconds around the score, a little uneven; from 6 s on at `late`
// times the pace.
std::vector<double> sample_timeline(double score, std::uint32_t sub_run, double late) {
  std::vector<double> seconds;
  for (std::uint32_t k = 0; k < 10; ++k) {
    const double wobble = 1.0 + 0.01 * (static_cast<double>((k * 7 + sub_run) % 5) - 2.0);
    seconds.push_back(score * wobble * (k >= 6 ? late : 1.0));
  }
  return seconds;
}

// A file of an older brisk (`old_file`) has no timelines; in the others the
// second run at 2 threads slows down after 6 s.
ComparedFile sample_file(std::string name, std::string brand, std::string os_version,
                         const std::vector<SamplePoint>& points, bool incomplete,
                         bool old_file = false) {
  ComparedFile f;
  f.name = std::move(name);
  f.incomplete = incomplete;
  ResultsDocument& d = f.document;
  d.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  d.start_time = "2026-05-01T10:00:00Z";
  d.finished = !incomplete;
  const bool intel = brand.starts_with("Intel");
  d.machine.cpu = {brand,         intel ? "intel" : "amd",        intel ? 6 : 25, intel ? 140 : 33,
                   intel ? 1 : 0, {"sse2", "avx", "avx2", "fma"}, false};
  d.machine.topology = {1, 1, 8, 16};
  d.machine.total_memory = 32ull << 30;
  d.machine.os = {"linux",          "Debian GNU/Linux 12 (bookworm)",
                  os_version,       std::nullopt,
                  "6.1.0-18-amd64", std::nullopt};
  d.settings.isa = "avx2";
  d.sweep = {"threads", "1,2,4", 3, {}};
  for (std::size_t i = 0; i < points.size(); ++i) {
    d.sweep.points.push_back(points[i].label);
    std::uint32_t sub_run = 1;
    for (const double score : points[i].scores) {
      RunSettings s;
      s.threads = static_cast<std::uint32_t>(std::stoul(points[i].label));
      s.isa = "avx2";
      s.duration = 10;
      std::vector<double> timeline;
      if (!old_file && score > 0) {
        timeline =
            sample_timeline(score, sub_run, points[i].label == "2" && sub_run == 2 ? 0.7 : 1);
      }
      d.runs.push_back({i, sub_run, s, score > 0, score, std::move(timeline)});
      ++sub_run;
    }
  }
  return f;
}

PointSide sample_side(const ComparedFile& f, std::size_t point) {
  PointSide s;
  for (const DocumentRun& run : f.document.runs) {
    if (run.point_index != point) continue;
    ++s.runs;
    if (run.valid) s.scores.push_back(run.score);
  }
  if (s.scores.empty()) return s;
  double sum = 0, low = s.scores[0], high = s.scores[0];
  for (const double v : s.scores) sum += v, low = std::min(low, v), high = std::max(high, v);
  s.average = sum / static_cast<double>(s.scores.size());
  s.spread_percent = (high / low - 1) * 100;
  s.noisy = *s.spread_percent > kNoisySpreadPercent;
  return s;
}

PointComparison sample_row(const Comparison& c, std::size_t file, std::size_t point) {
  PointComparison r;
  r.file = file;
  r.variable = "threads";
  r.label = c.files[0].document.sweep.points[point];
  r.base = sample_side(c.files[0], point);
  r.other = sample_side(c.files[file], point);
  if (r.base.average && r.other.average) {
    r.delta_percent = (*r.other.average / *r.base.average - 1) * 100;
  }
  if (const auto w = welch_test(r.base.scores, r.other.scores)) {
    r.p_value = w->p_value;
    r.ci_low_percent = w->ci_low_percent;
    r.ci_high_percent = w->ci_high_percent;
  }
  const bool beyond = r.delta_percent && std::abs(*r.delta_percent) > c.threshold_percent;
  if (r.other.scores.empty()) {
    r.verdict = Verdict::no_valid_run;
  } else if (!r.p_value) {
    r.verdict = Verdict::unclear;
    r.needs_more_runs = true;
  } else if (*r.p_value < kSignificanceLevel && beyond) {
    r.verdict = *r.delta_percent > 0 ? Verdict::faster : Verdict::slower;
  } else {
    r.verdict = *r.p_value < kSignificanceLevel || !beyond ? Verdict::no_change : Verdict::unclear;
  }
  return r;
}

// Three files of a threads sweep: the base; a file on the same processor with
// a newer kernel and an extra point (8 threads) that is noisy at 2 threads;
// an unfinished file from another processor whose 2-thread point ran with
// another ISA and whose 4-thread point never ran.
Comparison sample_comparison() {
  Comparison c;
  const std::string ryzen = "AMD Ryzen 7 5800X 8-Core Processor";
  c.files.push_back(sample_file("results/base.json", ryzen, "12.5",
                                {{"1", {1520.4, 1531.9, 1526.2}},
                                 {"2", {2987.1, 3002.6, 2995.0}},
                                 {"4", {5710.3, 5688.8, 5702.5}}},
                                false));
  c.files.push_back(sample_file("results/new <kernel> & \"tuned\".json", ryzen, "12.6",
                                {{"1", {1561.0, 1566.7, 1558.1}},
                                 {"2", {3010.2, 3190.4, 2920.3}},
                                 {"4", {5505.0, 5521.9, 5498.4}},
                                 {"8", {9830.2, 9902.7, 9877.1}}},
                                false));
  c.files.push_back(sample_file("laptop.json", "Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "12.5",
                                {{"1", {1302.8, 1311.5, 0}}, {"2", {2110.4, 2151.9}}, {"4", {}}},
                                true, true));
  c.differences = {{"cpu.brand", {ryzen, ryzen, "Intel(R) Core(TM) i7-1165G7 @ 2.80GHz"}},
                   {"cpu.vendor", {"amd", "amd", "intel"}},
                   {"cpu.family", {"25", "25", "6"}},
                   {"cpu.model", {"33", "33", "140"}},
                   {"cpu.stepping", {"0", "0", "1"}},
                   {"os.version", {"12.5", "12.6", "12.5"}}};
  for (std::size_t file = 1; file < 3; ++file) {
    for (std::size_t point = 0; point < 3; ++point) c.rows.push_back(sample_row(c, file, point));
  }
  c.rows[4].like_for_like = false;
  c.rows[4].differing_settings = {"isa avx2 vs sse2"};
  c.unmatched = {{"8", 0, {1}, {0, 2}, "threads"}};
  c.same_build = true;
  return c;
}

TEST(ComparisonPage, RendersTheSampleForTheBrowserCheck) {
  const Comparison c = sample_comparison();
  ASSERT_EQ(c.rows[3].verdict, Verdict::slower) << "laptop at 1 thread";
  ASSERT_TRUE(c.rows[1].other.noisy);
  ASSERT_EQ(c.rows[5].verdict, Verdict::no_valid_run);
  const std::string json = render_comparison_json(c);
  const std::string page = render_comparison_page(json);
  const std::string open = R"(<script type="application/json" id="brisk-data">)";
  const std::size_t begin = page.find(open) + open.size();
  const std::string block = page.substr(begin, page.find("</script", begin) - begin);
  const nlohmann::json parsed = nlohmann::json::parse(json);
  EXPECT_EQ(nlohmann::json::parse(block), parsed);
  // Each point lists its runs' seconds: the invalid one and an old file's
  // with none.
  const nlohmann::json& sagging = parsed["files"][1]["points"][1]["timelines"];
  ASSERT_EQ(sagging.size(), 3u);
  EXPECT_EQ(sagging[1]["sub_run"], 2);
  ASSERT_EQ(sagging[1]["mgups"].size(), 10u);
  EXPECT_LT(sagging[1]["mgups"][9].get<double>(), 0.8 * sagging[1]["mgups"][1].get<double>());
  EXPECT_EQ(parsed["files"][2]["points"][0]["timelines"][2],
            nlohmann::json({{"sub_run", 3}, {"valid", false}, {"mgups", nlohmann::json::array()}}));
  for (const auto& [path, text] : {std::pair{BRISK_SAMPLE_COMPARISON_JSON, json},
                                   std::pair{BRISK_SAMPLE_COMPARISON_HTML, page}}) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    EXPECT_TRUE(out) << path;
  }
}

TEST(ComparisonPage, FetchesNothingAndHoldsNoReportText) {
  const std::string page = render_comparison_page("{}");
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(page.find("sourceMappingURL"), std::string::npos);
  EXPECT_NE(page.find("brisk-comparison"), std::string::npos);  // compare.js, not report.js
  EXPECT_EQ(page.find("MGups of each thread"), std::string::npos);
  EXPECT_LT(page.size(), 300u * 1024);
}

}  // namespace
}  // namespace brisk
