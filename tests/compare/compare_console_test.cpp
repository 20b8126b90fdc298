#include "compare/compare_console.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "compare/comparison_fixtures.h"
#include "compare/comparison_json.h"
#include "compare/comparison_markdown.h"

namespace brisk {
namespace {

using testing::make_document;
using testing::make_file;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CompareConsole, SmallComparisonLineByLine) {
  ResultsDocument base = make_document(
      "threads", {{"1", {429.87, 431.23, 428.5}}, {"2", {830.1, 829.0, 831.2}}, {"4", {1, 2}}});
  ResultsDocument other = make_document(
      "threads", {{"1", {515.84, 517.0, 514.9}}, {"2", {830.0, std::nullopt, 900.0}}});
  other.machine.cpu.brand = "Intel Core i9-13900K";
  other.start_time = "2026-12-09T16:10:00Z";
  ComparedFile second = make_file("results/b.json", other);
  second.incomplete = true;
  second.document.sweep.sub_runs = 3;
  const Comparison c = compare_files({make_file("results/a.json", base), second}, 2.0);
  std::ostringstream out;
  print_comparison(c, out);

  const std::vector<std::string> expected = {
      "base: results/a.json (2026-12-09T15:05:04Z, brisk 1.2.0)",
      "1:    results/b.json (2026-12-09T16:10:00Z, brisk 1.2.0, incomplete: 6 of 6 runs)",
      "different machines, same build",
      "differs:",
      "  cpu.brand   base: Oxide Virtual Turin-like Processor   1: Intel Core i9-13900K",
      "",
      "threads | file | base avg | n |    avg |   n |  change |       95% interval |       p "
      "| verdict | notes",
      "--------+------+----------+---+--------+-----+---------+--------------------+---------"
      "+---------+------",
      "1       |    1 |   429.87 | 3 | 515.91 |   3 | +20.02% | [+19.36%, +20.68%] | <0.0001 "
      "| faster",
      "2       |    1 |   830.10 | 3 | 865.00 | 2/3 |  +4.20% | [-49.30%, +57.70%] |  0.5009 "
      "| unclear | noisy, more runs",
      "",
      "noisy: results/b.json at threads 2: spread 8.43% (over 5%): the machine was busy or "
      "throttling; its scores are not comparable as they stand",
      "only in some files: threads 4 (in base; missing in 1)",
      "unclear: 5 or more sub-runs per point give a verdict on this machine",
      "2 comparisons (threshold 2.00%): 1 faster, 1 unclear",
  };
  const std::vector<std::string> got = lines_of(out.str());
  ASSERT_EQ(got.size(), expected.size()) << out.str();
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "line " << i;
}

TEST(CompareConsole, NotesForUnlikeSettingsAndMissingRuns) {
  ResultsDocument other = make_document("none", {{"none", {std::nullopt}}});
  other.runs[0].settings.threads = 4;
  const Comparison c =
      compare_files({make_file("a.json", make_document("none", {{"none", {100, 101}}})),
                     make_file("b.json", other)},
                    2.0);
  std::ostringstream out;
  print_comparison(c, out);
  const std::string text = out.str();
  EXPECT_NE(text.find("\nsame machine, same build\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nno valid run: b.json at none (no sweep) (0 of 1 runs valid)\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nnot like for like: b.json at none (no sweep): threads 2 vs 4\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("unclear: "), std::string::npos) << text;
}

// A noisy side names what was measured during its runs, in every output; a
// side from a file without measurements keeps the old words.
TEST(CompareConsole, NoisySidesNameTheirMeasuredCause) {
  ResultsDocument base = make_document("none", {{"none", {100.0, 120.0}}});
  ResultsDocument other = make_document("none", {{"none", {100.0, 80.0, 101.0}}});
  for (DocumentRun& run : other.runs) {
    run.conditions.steal_percent = 0.0;
    run.conditions.other_load_percent = 1.0;
    run.conditions.on_processor_percent = 99.5;
  }
  other.runs[1].conditions.other_load_percent = 27.25;
  const Comparison c =
      compare_files({make_file("old.json", base), make_file("new.json", other)}, 2.0);
  std::ostringstream out;
  print_comparison(c, out);
  const std::string text = out.str();
  EXPECT_NE(text.find("\nnoisy: old.json at none (no sweep): spread 20.00% (over 5%): the "
                      "machine was busy or throttling; its scores are not comparable as they "
                      "stand\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nnoisy: new.json at none (no sweep): spread 26.25% (over 5%): other "
                      "programs used 27.2% of the processors during run 2; its scores are not "
                      "comparable as they stand\n"),
            std::string::npos)
      << text;
  const std::string md = render_comparison_markdown(c);
  EXPECT_NE(md.find("\nNoisy sides (spread over 5%):\n\n"
                    "- old.json at none: spread 20.00%: the machine was busy or throttling\n"
                    "- new.json at none: spread 26.25%: other programs used 27.2% of the "
                    "processors during run 2\n"),
            std::string::npos)
      << md;
  const nlohmann::json json = nlohmann::json::parse(render_comparison_json(c));
  EXPECT_EQ(json["rows"][0]["other"]["noise_cause"],
            "other programs used 27.2% of the processors during run 2");
  EXPECT_EQ(json["rows"][0]["base"]["noise_cause"], "the machine was busy or throttling");
}

// Clocks 3% or more apart give the point a note and a line with both
// figures; a comparison of files without clocks keeps its old bytes (the
// tests above).
TEST(CompareConsole, AClockThatMovedIsNotedWithBothFigures) {
  ResultsDocument base = make_document("none", {{"none", {1000.0, 1002.0, 1001.0}}});
  ResultsDocument other = make_document("none", {{"none", {900.0, 902.0, 901.0}}});
  for (DocumentRun& run : base.runs) run.clock_mhz = 4192.0;
  for (DocumentRun& run : other.runs) run.clock_mhz = 3771.0;
  const Comparison c = compare_files({make_file("a.json", base), make_file("b.json", other)}, 2.0);
  std::ostringstream out;
  print_comparison(c, out);
  const std::vector<std::string> got = lines_of(out.str());
  ASSERT_GE(got.size(), 9u) << out.str();
  EXPECT_TRUE(got[6].ends_with("| slower  | clock")) << got[6];
  EXPECT_EQ(got[8],
            "clock: b.json at none (no sweep): 3771 MHz against 4192 MHz in the base (-10.04%): a "
            "change of the score may be the clock's")
      << out.str();
}

TEST(CompareConsole, Cells) {
  const std::vector<std::pair<double, std::string>> changes = {{20.0, "+20.00%"},
                                                               {-3.104, "-3.10%"},
                                                               {0.0, "+0.00%"},
                                                               {-0.004, "+0.00%"},
                                                               {0.005, "+0.01%"}};
  for (const auto& [value, text] : changes) EXPECT_EQ(change_cell(value), text) << value;
  const std::vector<std::pair<double, std::string>> ps = {{1.0, "1.000"},
                                                          {0.04999, "0.04999"},
                                                          {0.0001, "0.0001000"},
                                                          {0.00009, "<0.0001"},
                                                          {0.0, "<0.0001"}};
  for (const auto& [value, text] : ps) EXPECT_EQ(p_cell(value), text) << value;
  EXPECT_EQ(point_name("size", "64", 1), "size 64 #2");
  EXPECT_EQ(point_name("threads", "4", 0), "threads 4");
}

TEST(CompareConsole, ManyFilesAreListedAsRanges) {
  std::vector<ComparedFile> files;
  for (int i = 0; i < 8; ++i) {
    ResultsDocument doc = make_document("none", {{"none", {100, 101}}});
    if (i == 2 || (i >= 4 && i <= 6)) doc.settings.isa = "avx2";
    files.push_back(make_file(fmt::format("r{}.json", i), doc));
  }
  std::ostringstream out;
  print_comparison(compare_files(std::move(files), 2.0), out);
  EXPECT_NE(out.str().find("  settings.isa   base, 1, 3, 7: sse2   2, 4-6: avx2\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("\n7:    r7.json ("), std::string::npos) << out.str();
}

}  // namespace
}  // namespace brisk
