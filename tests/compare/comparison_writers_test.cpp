#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "compare/comparison_csv.h"
#include "compare/comparison_json.h"
#include "compare/comparison_markdown.h"
#include "report/comparison_page.h"

namespace brisk {
namespace {

// A name with every character that CSV, Markdown or HTML could misread.
const std::string kNastyName = "run \"a\",|*b*|\r\n</script><!--x.json";

ComparedFile file(std::string name, std::vector<std::string> points) {
  ComparedFile f;
  f.name = std::move(name);
  f.document.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  f.document.machine.cpu.brand = "Test CPU @ 3.00GHz   ";
  f.document.sweep.variable = "threads";
  f.document.sweep.sub_runs = 2;
  f.document.sweep.points = std::move(points);
  return f;
}

PointSide side(std::vector<double> scores, std::optional<double> average) {
  PointSide s;
  s.runs = static_cast<std::uint32_t>(scores.size());
  s.scores = std::move(scores);
  s.average = average;
  return s;
}

// Two files; one full row, one with nothing computed (a side without valid runs).
Comparison two_rows() {
  Comparison c;
  c.files = {file("base.json", {"1", "2"}), file(kNastyName, {"1", "2", "4"})};
  c.differences = {{"cpu.brand", {"A | B", "C *D*"}}};
  PointComparison full;
  full.file = 1;
  full.variable = "threads";
  full.label = "1";
  full.base = side({100.0, 102.0}, 101.0);
  full.other = side({110.0, 112.0}, 111.0);
  full.other.spread_percent = 1.8181818181818181;
  full.delta_percent = 9.900990099009901;
  full.p_value = 0.0123;
  full.ci_low_percent = 5.5;
  full.ci_high_percent = 14.25;
  full.verdict = Verdict::faster;
  PointComparison empty;
  empty.file = 1;
  empty.variable = "threads";
  empty.label = "2";
  empty.base = side({100.0}, 100.0);
  empty.other = side({}, std::nullopt);
  empty.other.runs = 2;
  empty.verdict = Verdict::no_valid_run;
  empty.like_for_like = false;
  empty.differing_settings = {"threads 2 vs 4", "isa sse2 vs avx2"};
  c.rows = {full, empty};
  c.unmatched = {{"4", 0, {1}, {0}, "threads"}};
  return c;
}

std::vector<std::string> csv_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", from)) {
    lines.push_back(text.substr(from, at - from));
    from = at + 2;
  }
  EXPECT_EQ(from, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(ComparisonCsv, RowsQuoteNamesAndKeepFullPrecision) {
  const std::string csv = render_comparison_csv(two_rows());
  // The quoted name holds a CR LF: split on the record boundaries by hand.
  const std::string quoted = "\"run \"\"a\"\",|*b*|\r\n</script><!--x.json\"";
  ASSERT_NE(csv.find(quoted), std::string::npos) << csv;
  std::string flat = csv;
  for (std::size_t at = flat.find(quoted); at != std::string::npos; at = flat.find(quoted)) {
    flat.replace(at, quoted.size(), "NAME");
  }
  const std::vector<std::string> lines = csv_lines(flat);
  ASSERT_EQ(lines.size(), 4u) << csv;
  EXPECT_EQ(
      lines[0],
      "file,variable,point,occurrence,base_average,base_n,average,n,change_percent,ci_low_percent,"
      "ci_high_percent,p_value,verdict,needs_more_runs,like_for_like,differing_settings,"
      "base_spread_percent,spread_percent,base_noisy,noisy");
  const struct {
    std::size_t line;
    std::string text;
  } rows[] = {
      {1,
       "NAME,threads,1,0,101,2,111,2,9.900990099009901,5.5,14.25,0.0123,faster,false,true,,,"
       "1.8181818181818181,false,false"},
      {2,
       "NAME,threads,2,0,100,1,,0,,,,,no valid run,false,false,threads 2 vs 4; isa sse2 vs avx2,,,"
       "false,false"},
      {3, "NAME,threads,4,0,,,,,,,,,not in base,,,,,,,"},
  };
  for (const auto& row : rows) EXPECT_EQ(lines[row.line], row.text);
  // Every record has the header's field count, or a spreadsheet shifts columns.
  for (const std::string& line : lines) {
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 19) << line;
  }
}

TEST(ComparisonMarkdown, EscapesNamesAndKeepsOneCellPerColumn) {
  const std::string md = render_comparison_markdown(two_rows());
  EXPECT_NE(md.find(R"(run "a",\|\*b\*\|\\x0d\\x0a\</script\>\<!--x.json)"), std::string::npos)
      << md;
  EXPECT_NE(md.find(R"(cpu.brand: A \| B vs C \*D\*)"), std::string::npos) << md;
  EXPECT_NE(md.find("Test CPU @ 3.00GHz, threads sweep)"), std::string::npos)
      << "brand trimmed: " << md;
  // Every table line has as many unescaped pipes as the header.
  std::size_t header_pipes = 0;
  std::size_t table_lines = 0;
  std::size_t from = 0;
  for (std::size_t at = md.find('\n'); at != std::string::npos; at = md.find('\n', from)) {
    const std::string line = md.substr(from, at - from);
    from = at + 1;
    if (!line.starts_with("|")) continue;
    std::size_t pipes = 0;
    for (std::size_t i = 0; i < line.size(); ++i)
      pipes += line[i] == '|' && (i == 0 || line[i - 1] != '\\');
    if (table_lines++ == 0) header_pipes = pipes;
    EXPECT_EQ(pipes, header_pipes) << line;
  }
  EXPECT_EQ(table_lines, 4u) << md;  // header, rule, two rows
  EXPECT_NE(md.find("| 101.00 | 111.00 | +9.90% | +5.50% to +14.25% | 0.012 | faster |"),
            std::string::npos)
      << md;
  EXPECT_NE(md.find("| --- | --- | --- | --- | no valid run, not like for like: threads 2 vs 4, "
                    "isa sse2 vs avx2 |"),
            std::string::npos)
      << md;
  EXPECT_NE(md.find("- 4: missing in base.json"), std::string::npos) << md;
}

// Foreign names show as on the console, in the file list and the table alike.
TEST(ComparisonMarkdown, FileNamesShowAsOnTheConsole) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"\x1b[2Jwipe.json", R"(\\x1b\[2Jwipe.json)"},
      {"csi\xc2\x9b\x07.json", R"(csi\\xc2\\x9b\\x07.json)"},
      {"bad\xff.json", R"(bad\\xff.json)"},
      {"r\xc3\xa9sultat.json", "r\xc3\xa9sultat.json"},
      {"C:\\r\\a.json", R"(C:\\r\\a.json)"},
  };
  for (const auto& [name, shown] : cases) {
    Comparison c = two_rows();
    c.files[1].name = name;
    const std::string md = render_comparison_markdown(c);
    EXPECT_NE(md.find("- **file 1:** " + shown + " (brisk v"), std::string::npos) << md;
    EXPECT_NE(md.find("\n| " + shown + " | 1 |"), std::string::npos) << md;
    EXPECT_EQ(md.find('\x1b'), std::string::npos) << md;
  }
}

TEST(ComparisonMarkdown, SameMachineAndBuildSaidInOneLine) {
  Comparison c = two_rows();
  c.differences.clear();
  c.same_machine = c.same_build = true;
  EXPECT_NE(render_comparison_markdown(c).find("same machine, same build"), std::string::npos);
}

TEST(ComparisonJson, MissingAndNonFiniteNumbersAreNull) {
  Comparison c = two_rows();
  c.rows[0].p_value = std::numeric_limits<double>::quiet_NaN();
  c.rows[0].ci_high_percent = std::numeric_limits<double>::infinity();
  const std::string text = render_comparison_json(c);
  EXPECT_EQ(text.find("NaN"), std::string::npos);
  EXPECT_EQ(text.find("nan"), std::string::npos);
  EXPECT_EQ(text.find("inf"), std::string::npos);
  const nlohmann::json doc = nlohmann::json::parse(text);
  const nlohmann::json& empty = doc["rows"][1];
  for (const char* key : {"delta_percent", "p_value", "ci_low_percent", "ci_high_percent"}) {
    EXPECT_TRUE(empty[key].is_null()) << key;
  }
  EXPECT_TRUE(empty["other"]["average"].is_null());
  EXPECT_EQ(empty["other"]["n"], 0);
  EXPECT_EQ(empty["other"]["runs"], 2);
  EXPECT_EQ(empty["verdict"], "no valid run");
  EXPECT_EQ(empty["name"], kNastyName);
  EXPECT_TRUE(doc["rows"][0]["p_value"].is_null());
  EXPECT_TRUE(doc["rows"][0]["ci_high_percent"].is_null());
  EXPECT_EQ(doc["rows"][0]["ci_low_percent"], 5.5);
  EXPECT_EQ(doc["schema"]["name"], "brisk-comparison");
  EXPECT_EQ(doc["unmatched"][0]["present_in"], nlohmann::json::array({1}));
}

TEST(ComparisonJson, EachFileCarriesItsOwnPointsWithTheirRuns) {
  Comparison c = two_rows();
  ResultsDocument& d = c.files[1].document;
  d.sweep.points = {"1", "2", "1"};
  // Point 0: a valid and an invalid run; point 2 (the second "1"): spread 10%.
  d.runs = {{0, 1, {}, true, 100.0},
            {0, 2, {}, false, 0.0},
            {2, 1, {}, true, 100.0},
            {2, 2, {}, true, 110.0}};
  d.runs[3].conditions.steal_percent = 4.0;
  const nlohmann::json points =
      nlohmann::json::parse(render_comparison_json(c))["files"][1]["points"];
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0]["scores"], nlohmann::json::array({100.0}));
  EXPECT_EQ(points[0]["runs"], 2);
  EXPECT_EQ(points[0]["average"], 100.0);
  EXPECT_EQ(points[1]["runs"], 0);
  EXPECT_TRUE(points[1]["average"].is_null());
  EXPECT_EQ(points[2]["occurrence"], 1);
  EXPECT_EQ(points[2]["average"], 105.0);
  EXPECT_TRUE(points[2]["noisy"]);
  EXPECT_EQ(points[2]["noise_cause"], "the hypervisor took 4.0% during run 2");
  EXPECT_FALSE(points[0]["noisy"]);
  EXPECT_TRUE(points[0]["noise_cause"].is_null());
}

TEST(ComparisonPage, FileNameCannotEndTheDataBlock) {
  const std::string page = render_comparison_page(render_comparison_json(two_rows()));
  const std::string open = R"(<script type="application/json" id="brisk-data">)";
  const std::size_t begin = page.find(open) + open.size();
  const std::string block = page.substr(begin, page.find("</script", begin) - begin);
  const nlohmann::json doc = nlohmann::json::parse(block);  // whole: nothing ended it early
  EXPECT_EQ(doc["files"][1]["name"], kNastyName);
  EXPECT_EQ(block.find("<!--"), std::string::npos);
  EXPECT_NE(page.find("Dygraph"), std::string::npos);
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
}

}  // namespace
}  // namespace brisk
