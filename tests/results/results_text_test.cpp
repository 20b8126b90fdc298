// The compact layout of the results document and its run-by-run text: the
// layout keeps every value, the text after each run is the whole document,
// and what a file already holds stays valid within an epoch.
#include "results/results_text.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/html_report.h"
#include "results/compact_json.h"
#include "results/json_writer.h"
#include "results/report_page_text.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

RunOutcome run_of(std::uint32_t threads, double rate) {
  RunOutcome o;
  o.valid = true;
  o.workers_started = true;
  o.settings = RunSettings{threads, 3, 64, "os", "standing_wave", "sse2", false, "ordinary"};
  for (std::uint32_t t = 0; t < threads; ++t) {
    ThreadOutcome thread;
    thread.result = {t, 3000, 3000123, 60 + t, (60 + t) * 262144ull};
    thread.mgups = rate / 3.0 + t;
    if (t == 1) thread.processor = PlacedProcessor{1, 7};
    o.threads.push_back(thread);
    // Values as the timeline makes them, one a long fraction, one integral.
    o.timeline.threads.push_back({rate * 0.1, 0.1 + 0.2, 262144.0 / 1e6 * (t + 1)});
    o.score += thread.mgups;
  }
  o.timeline.mgups = {rate, rate + 1.5, 1e-7};
  o.messages = {"a warning with </script> in it"};
  return o;
}

ResultsRecord empty_sweep() {
  ResultsRecord r;
  r.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  r.command_line = {"brisk", "--harness-var", "threads"};
  r.start_time = "2026-12-11T10:00:00Z";
  r.machine.cpu.brand = "ACME \xff broken UTF-8";
  r.timers = {"TSC", 1000000000, 250, true, false};
  r.sweep = {"threads", "", 2, {}};
  return r;
}

TEST(CompactJson, ArraysOfPlainValuesAndTheirShallowElementsOnOneLine) {
  const Json value = Json::parse(R"({
    "empty": {}, "none": [], "plain": [1, 2.5, "x", null],
    "rows": [[1, 2], [], [3]],
    "records": [{"a": 1, "p": {"g": 0}}, {"a": 2, "p": null}],
    "deep": [{"a": {"b": [1]}}]
  })");
  std::string text;
  append_compact_json(text, value, 0);
  EXPECT_EQ(text, R"({
  "empty": {},
  "none": [],
  "plain": [1,2.5,"x",null],
  "rows": [
    [1,2],
    [],
    [3]
  ],
  "records": [
    {"a":1,"p":{"g":0}},
    {"a":2,"p":null}
  ],
  "deep": [
    {
      "a": {
        "b": [1]
      }
    }
  ]
})");
  EXPECT_EQ(Json::parse(text), value);
}

TEST(JsonWriter, CompactDocumentReadsBackToTheIndentedOnesValues) {
  ResultsRecord r = empty_sweep();
  r.sweep.points = {"1", "3"};
  r.runs = {{0, 1, run_of(1, 100.125)}, {1, 1, run_of(3, 333.0 + 1.0 / 3.0)}};
  const std::string text = render_json(r);
  const Json document = Json::parse(text);
  // Every value survives, bit for bit, in the same order of members as the
  // indented layout had.
  const Json& run = document["runs"][1];
  ASSERT_EQ(run["timeline"]["threads"].size(), 3u);
  EXPECT_EQ(run["timeline"]["threads"][2][2].get<double>(), 262144.0 / 1e6 * 3);
  EXPECT_EQ(run["timeline"]["threads"][0][1].get<double>(), 0.1 + 0.2);
  EXPECT_EQ(run["threads"][1]["mgups"].get<double>(), (333.0 + 1.0 / 3.0) / 3.0 + 1);
  EXPECT_EQ(run["threads"][1]["processor"], Json::parse(R"({"group":1,"number":7})"));
  EXPECT_EQ(Json::parse(document.dump(2)), document);
  // One line per thread and run, not one per number.
  std::vector<std::string> lines;
  for (std::size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos;
       from = end + 1) {
    lines.push_back(text.substr(from, end - from));
  }
  std::size_t timeline_lines = 0;
  std::size_t thread_lines = 0;
  for (const std::string& line : lines) {
    if (line.starts_with("          [")) ++timeline_lines;
    if (line.starts_with("        {\"index\":")) ++thread_lines;
  }
  EXPECT_EQ(timeline_lines, 4u);
  EXPECT_EQ(thread_lines, 4u);
  const std::string third =
      Json(std::vector<double>{(333.0 + 1.0 / 3.0) * 0.1, 0.1 + 0.2, 0.786432}).dump();
  EXPECT_EQ(third.substr(third.find(',')), ",0.30000000000000004,0.786432]");
  EXPECT_NE(text.find("\n          " + third + "\n        ]"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
}

// The file of a sweep as the driver keeps it: points first, then run after
// run, then the end.
TEST(ResultsText, EveryUpdateIsTheWholeDocumentAndKeepsItsStablePartWithinAnEpoch) {
  ResultsRecord r = empty_sweep();
  ResultsText text;
  ReportPageText page;
  std::string previous;
  std::size_t previous_stable = 0;
  std::uint64_t previous_epoch = 0;
  const auto update = [&](bool new_epoch) {
    SCOPED_TRACE(r.runs.size());
    text.update(r);
    page.update(text);
    const std::string now = joined(text.pieces());
    EXPECT_EQ(now, render_json(r));
    const std::vector<std::string_view> page_pieces = page.pieces();
    EXPECT_EQ(joined(page_pieces), render_html_report(now));
    EXPECT_EQ(text.epoch() != previous_epoch, new_epoch);
    if (!new_epoch) {
      EXPECT_EQ(now.substr(0, previous_stable), previous.substr(0, previous_stable));
      EXPECT_GE(text.stable_bytes(), previous_stable);
    }
    EXPECT_LE(page.stable_bytes(), joined(page_pieces).size());
    previous = now;
    previous_stable = text.stable_bytes();
    previous_epoch = text.epoch();
  };
  update(true);
  r.sweep.points = {"1", "2", "4"};
  update(true);
  for (std::size_t point = 0; point < 3; ++point) {
    const auto threads = std::uint32_t{1} << point;
    for (std::uint32_t sub = 1; sub <= 2; ++sub) {
      r.runs.push_back({point, sub, run_of(threads, 50.0 * threads + sub)});
      update(false);
    }
  }
  r.finished = true;
  r.end_time = "2026-12-11T11:00:00Z";
  update(true);
  // A record that lost runs (never a sweep's) is rendered anew.
  r.runs.resize(2);
  update(true);
}

}  // namespace
}  // namespace brisk
