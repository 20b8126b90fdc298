// The rules of the results files that are easy to get wrong: CSV quoting, the
// Markdown table beside the console's, a file that cannot be updated, and
// points that share a label.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "bench/console_capture.h"
#include "results/console_text.h"
#include "results/csv_writer.h"
#include "results/export_files.h"
#include "results/json_writer.h"
#include "results/markdown_writer.h"

namespace brisk {
namespace {

RunOutcome outcome(bool valid, double score, std::vector<std::string> messages = {},
                   std::string pages = "ordinary", double huge_percent = 0.0) {
  RunOutcome o;
  o.valid = valid;
  o.score = valid ? score : 0.0;
  o.messages = std::move(messages);
  o.settings = RunSettings{2, 1, 64, "os", "standing_wave", "sse2", false, std::move(pages)};
  if (!o.settings.pages.empty()) o.huge_percent = huge_percent;
  return o;
}

// Two points of two sub-runs, the second point half done, with an invalid run.
ResultsRecord sweep_record() {
  ResultsRecord r;
  r.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  r.machine.cpu.brand = "ACME | Turbo* 9000";
  r.timers = {"TSC", 1000000000, 250, true, false};
  r.sweep = {"threads", "1-2", 2, {"1", "2"}};
  r.runs = {{0, 1, outcome(true, 431.2345678)},
            {0, 2, outcome(false, 0, {"not all threads produced a result"}, "")},
            {1, 1, outcome(true, 830.125, {}, "transparent", 62.5)}};
  // What a Linux guest measures; the other runs know nothing.
  r.runs[0].outcome.conditions.other_load_percent = 12.34;
  r.runs[0].outcome.conditions.steal_percent = 0.0;
  r.runs[0].outcome.conditions.involuntary_switches = 7;
  return r;
}

TEST(CsvWriter, QuotesFieldsByTheRfc4180Rule) {
  const std::map<std::string, std::string> cases = {
      {"sse2", "sse2"},
      {"", ""},
      {"AMD EPYC 7763 64-Core, rev B", "\"AMD EPYC 7763 64-Core, rev B\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(csv_field(text), expected) << text;
}

// Text from other people's files must not turn into a spreadsheet formula.
TEST(CsvWriter, ForeignTextNeverStartsAFormula) {
  const std::map<std::string, std::string> cases = {
      {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
      {"+1", "'+1"},
      {"-2", "'-2"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"AMD Ryzen 7 5800X", "AMD Ryzen 7 5800X"},
      {"a=b", "a=b"},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(csv_foreign_text(text), expected) << text;
}

// A name from a shared results folder must never reach a terminal as a
// control sequence; what a terminal only displays stays as it is.
TEST(ConsoleText, EscapesWhatATerminalCouldActOnAndKeepsPrintableUnicode) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // The names of a shared folder that rewrote a terminal's title,
      // colours and screen.
      {"x\x1b[31mRED\x1b]0;owned\x07.json", "x\\x1b[31mRED\\x1b]0;owned\\x07.json"},
      {"bad\x1b[2J.json", "bad\\x1b[2J.json"},
      // Every C0 control (NUL, tab, line feed, carriage return) and DEL.
      {std::string("a\0b", 3), "a\\x00b"},
      {"\t\n\r\x1f", "\\x09\\x0a\\x0d\\x1f"},
      {"del\x7f", "del\\x7f"},
      // C1 controls: as UTF-8 (U+009B, the one-byte CSI), escaped byte by
      // byte so the name's bytes can be told; U+0080 and U+009F are the ends.
      {"a\xc2\x9bK", "a\\xc2\\x9bK"},
      {"\xc2\x80\xc2\x9f", "\\xc2\\x80\\xc2\\x9f"},
      // ... and as a raw byte, which is no valid UTF-8 at all.
      {"a\x9bK", "a\\x9bK"},
      // U+00A0 is the first code point after C1: printable.
      {"\xc2\xa0", "\xc2\xa0"},
      // Invalid UTF-8: a stray continuation byte, bytes that never occur,
      // overlong forms (of '/' and of ESC), a surrogate, past U+10FFFF.
      {"\x80", "\\x80"},
      {"\xfe\xff", "\\xfe\\xff"},
      {"\xc0\xaf", "\\xc0\\xaf"},
      {"\xe0\x80\x9b", "\\xe0\\x80\\x9b"},
      {"\xc1\x9b", "\\xc1\\x9b"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      // Truncated sequences, in the middle and at the end: the bytes after
      // the broken one are read again on their own.
      {"\xe2\x82Z", "\\xe2\\x82Z"},
      {"\xe2\x82", "\\xe2\\x82"},
      {"\xf0\x9f\x98", "\\xf0\\x9f\\x98"},
      {"\xe2\xc3\xa9", "\\xe2\xc3\xa9"},
      // Printable Unicode of two, three and four bytes, and the last code
      // point, stay as they are.
      {"r\xc3\xa9sultat-\xe2\x82\xac-\xf0\x9f\x98\x80.json",
       "r\xc3\xa9sultat-\xe2\x82\xac-\xf0\x9f\x98\x80.json"},
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},
      // A backslash stays: Windows paths hold them.
      {"C:\\Users\\me\\results\\a.json", "C:\\Users\\me\\results\\a.json"},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(console_safe(text), expected) << expected;
}

TEST(CsvWriter, OneRowPerRunWithTheInvalidReason) {
  const std::string csv = render_csv(sweep_record());
  EXPECT_EQ(csv,
            "point,sub_run,valid,score,threads,threading,size,duration,workload,isa,large_pages,"
            "pages,huge_percent,reason,other_load_percent,steal_percent\r\n"
            "1,1,true,431.2345678,2,os,64,1,standing_wave,sse2,false,ordinary,0,,12.3,0.0\r\n"
            "1,2,false,,2,os,64,1,standing_wave,sse2,false,,,not all threads produced a "
            "result,,\r\n"
            "2,1,true,830.125,2,os,64,1,standing_wave,sse2,false,transparent,62.5,,,\r\n");
}

TEST(MarkdownWriter, TableHasTheConsoleCellsAndEmptyCellsForRunsToCome) {
  const std::string md = render_markdown(sweep_record());
  EXPECT_NE(md.find("- **processor:** ACME \\| Turbo\\* 9000\n"), std::string::npos) << md;
  // Every kind the runs got, in order, with its share; the run without
  // field memory adds nothing.
  EXPECT_NE(md.find("- **pages:** ordinary; transparent, 62.5% on huge pages\n"), std::string::npos)
      << md;
  EXPECT_NE(md.find("| threads | run 1 | run 2 | avg | max/min |\n"
                    "|---|--:|--:|--:|--:|\n"
                    "| 1 | 431.23 | --- | 431.23 | 0.00% |\n"
                    "| 2 | 830.12 | | 830.12 | 0.00% |\n"
                    "\n"
                    "| threads | run | other load | steal |\n"
                    "|---|--:|--:|--:|\n"
                    "| 1 | 1 | 12.3% | 0.0% |\n"
                    "| 1 | 2 | --- | --- |\n"
                    "| 2 | 1 | --- | --- |\n"),
            std::string::npos)
      << md;
}

// Each run's conditions come just before its threads (its timeline last);
// what was not measured is null, never 0.
TEST(JsonWriter, ConditionsAreNumbersOrNull) {
  const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(render_json(sweep_record()));
  const nlohmann::ordered_json& run = doc["runs"][0];
  std::vector<std::string> keys;
  for (const auto& [key, value] : run.items()) keys.push_back(key);
  ASSERT_GE(keys.size(), 3u);
  EXPECT_EQ(keys[keys.size() - 3], "conditions");
  EXPECT_EQ(keys[keys.size() - 2], "threads");
  EXPECT_EQ(keys.back(), "timeline");
  const nlohmann::ordered_json& c = run["conditions"];
  EXPECT_EQ(c["other_load_percent"], 12.34);
  EXPECT_EQ(c["steal_percent"], 0.0);
  EXPECT_EQ(c["involuntary_context_switches"], 7);
  EXPECT_TRUE(c["on_processor_percent"].is_null());
  EXPECT_TRUE(c["major_page_faults"].is_null());
  EXPECT_TRUE(c["clock_start_mhz"].is_null());
  EXPECT_TRUE(doc["runs"][1]["conditions"]["other_load_percent"].is_null());
}

// Measured clocks go out in whole MHz beside the rates, per thread in index
// order and as the mean; a second nobody measured is null, never 0.
TEST(JsonWriter, TimelineClocksAreWholeMegahertzOrNull) {
  ResultsRecord r = sweep_record();
  RunTimeline& t = r.runs[0].outcome.timeline;
  t.mgups = {10.0, 11.0};
  t.threads = {{5.0, 5.5}, {5.0, 5.5}};
  t.clock_mhz = {4191.6, std::nullopt};
  t.threads_clock_mhz = {{4191.4, std::nullopt}, {4191.8, std::nullopt}};
  const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(render_json(r));
  const nlohmann::ordered_json& timeline = doc["runs"][0]["timeline"];
  EXPECT_EQ(timeline["clock_mhz"].dump(), "[4192,null]");
  EXPECT_EQ(timeline["threads_clock_mhz"].dump(), "[[4191,null],[4192,null]]");
  EXPECT_EQ(doc["runs"][1]["timeline"]["clock_mhz"], nlohmann::ordered_json::array());
}

TEST(JsonWriter, PointsSharingALabelKeepTheirOwnRows) {
  ResultsRecord r = sweep_record();
  r.sweep = {"size", "64,128,64", 1, {"64", "128", "64"}};
  r.runs = {{0, 1, outcome(true, 100.0)}, {1, 1, outcome(true, 50.0)}, {2, 1, outcome(true, 90.0)}};
  // A brand string with a byte that is not UTF-8 still gives a document.
  r.machine.cpu.brand = "Intel\xff";
  const nlohmann::json doc = nlohmann::json::parse(render_json(r));
  ASSERT_EQ(doc["summary"].size(), 3u);
  EXPECT_EQ(doc["summary"][0]["scores"], nlohmann::json::array({100.0}));
  EXPECT_EQ(doc["summary"][2]["scores"], nlohmann::json::array({90.0}));
  EXPECT_EQ(doc["summary"][2]["cells"]["average"], "90.00");
  EXPECT_EQ(doc["runs"][2]["point"], "64");
}

TEST(JsonWriter, PagesOfEveryRunAndOfTheSystem) {
  ResultsRecord r = sweep_record();
  r.machine.pages = {"madvise", 2097152};
  const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(render_json(r));
  EXPECT_EQ(doc["runs"][0]["pages"],
            nlohmann::ordered_json::parse(R"({"kind": "ordinary", "huge_percent": 0.0})"));
  EXPECT_TRUE(doc["runs"][1]["pages"].is_null());  // no field memory obtained
  EXPECT_EQ(doc["runs"][2]["pages"]["kind"], "transparent");
  EXPECT_EQ(doc["runs"][2]["pages"]["huge_percent"], 62.5);
  // Right after the settings, and the machine's last.
  auto run = doc["runs"][2].items().begin();
  EXPECT_EQ((++run).key(), "sub_run");
  EXPECT_EQ((++run).key(), "settings");
  EXPECT_EQ((++run).key(), "pages");
  EXPECT_EQ(doc["machine"]["pages"],
            nlohmann::ordered_json::parse(
                R"({"transparent_huge_pages": "madvise", "huge_page_size_bytes": 2097152})"));
  r.machine.pages.transparent_huge_pages.reset();  // Windows
  EXPECT_TRUE(
      nlohmann::ordered_json::parse(render_json(r))["machine"]["pages"]["transparent_huge_pages"]
          .is_null());
}

TEST(ExportFiles, AFailedUpdateWarnsKeepsGoingAndIsRemembered) {
  std::map<std::string, int> writes;
  bool full = false;
  ExportFiles files({{ExportFormat::json, "a.json"}, {ExportFormat::csv, "b.csv"}},
                    [&](const std::string& path, std::string_view) -> std::optional<std::string> {
                      if (full && path == "a.json") return "No space left on device";
                      ++writes[path];
                      return std::nullopt;
                    });
  const ResultsRecord record = sweep_record();
  EXPECT_EQ(files.write_first(record), std::nullopt);
  full = true;
  test::ConsoleCapture console;
  files.update(record);
  EXPECT_TRUE(files.failed());
  EXPECT_EQ(writes["b.csv"], 2);  // the other file is still kept up to date
  EXPECT_EQ(console.err(),
            "warning: results file \"a.json\" not updated (No space left on device); it keeps its "
            "last complete version\n");
}

TEST(ExportFiles, AFileThatCannotBeWrittenFirstIsNamedWithTheReason) {
  ExportFiles files({{ExportFormat::markdown, "missing/r.md"}, {ExportFormat::csv, "r.csv"}},
                    [](const std::string& path, std::string_view) -> std::optional<std::string> {
                      if (path == "missing/r.md") return "No such file or directory";
                      ADD_FAILURE() << "nothing is written after the first failure";
                      return std::nullopt;
                    });
  EXPECT_EQ(files.write_first(sweep_record()),
            "cannot write results file \"missing/r.md\": No such file or directory");
  EXPECT_FALSE(files.failed());
}

TEST(ResultsRecord, UtcTimesInIso8601) {
  EXPECT_EQ(utc_iso8601(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(utc_iso8601(951868799), "2000-02-29T23:59:59Z");
  EXPECT_EQ(utc_iso8601(1796828704), "2026-12-09T15:05:04Z");
}

}  // namespace
}  // namespace brisk
