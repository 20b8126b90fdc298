#include "compare/results_reader.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "compare/pruned_json.h"
#include "compare/results_reader_json.h"
#include "platform/scratch_dir.h"
#include "results/json_writer.h"

namespace brisk {
namespace {

using Json = nlohmann::json;
using testing::ScratchDir;
using testing::utf8_path;
using testing::write_file;

RunRecord make_run(std::size_t point, std::uint32_t sub_run, std::uint32_t threads, bool valid,
                   double score, const std::string& pages = "ordinary") {
  RunRecord run{point, sub_run, {}};
  run.outcome.valid = valid;
  run.outcome.score = score;
  run.outcome.settings = {threads, 1, 64, "os", "standing_wave", "avx2", false, pages};
  if (!pages.empty()) run.outcome.huge_percent = pages == "ordinary" ? 0.0 : 87.5;
  run.outcome.messages = {valid ? "ISA avx2 is not reported by the processor" : "timers disagree"};
  run.outcome.init_ms = 21;
  for (std::uint32_t t = 0; t < threads; ++t) {
    ThreadOutcome thread;
    thread.result.thread_index = t;
    thread.mgups = score / threads;
    thread.processor = PlacedProcessor{0, t};
    run.outcome.threads.push_back(thread);
    run.outcome.timeline.threads.push_back({score / threads});
    run.outcome.timeline.threads_clock_mhz.push_back({4100.0 + t});
  }
  run.outcome.timeline.mgups = {score};
  // Runs on thread counts above 1 measured no clock.
  run.outcome.timeline.clock_mhz = {threads == 1 ? std::optional<double>(4100.0) : std::nullopt};
  return run;
}

// A threads sweep whose label "2" appears twice, with an invalid run and
// scores that need all 17 digits to come back exactly.
ResultsRecord realistic_record() {
  ResultsRecord r;
  r.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  r.command_line = {"brisk", "-d", "1", "--harness-opt", "1,2,2", "r\xC3\xA9sultats.json"};
  r.start_time = "2026-12-09T15:05:04Z";
  r.end_time = "2026-12-09T15:05:10Z";
  r.finished = true;
  r.machine.cpu = {"Oxide \xE6\x97\xA5 Processor", "amd", 25, 17, 0, {"SSE2", "AVX2"}, true};
  r.machine.topology = {1, 1, 2, 4};
  r.machine.total_memory = 25769803776;
  r.machine.available_memory = 23000000000;
  r.machine.os = {"linux", "Debian GNU/Linux 12 (bookworm)", "12", std::nullopt, "6.1.0", {}};
  r.timers = {"TSC", 1000000000, 250, true, false};
  r.settings.duration = 1;
  r.settings.size = 64;
  r.settings.isa = "avx2";
  r.sweep = {"threads", "1,2,2", 2, {"1", "2", "2"}};
  r.runs = {make_run(0, 1, 1, true, 431.23456789012345),
            make_run(0, 2, 1, true, 428.5),
            make_run(1, 1, 2, false, 0.0, ""),
            make_run(1, 2, 2, true, 830.125, "transparent"),
            make_run(2, 1, 2, true, 1.0 / 3.0, "hugetlb"),
            make_run(2, 2, 2, true, 1e9, "large")};
  r.machine.pages = {"madvise", 2097152};
  RunConditions& linux_guest = r.runs[0].outcome.conditions;
  linux_guest = {12.5, 0.25, 97.125, 41, 0, 2994.0, 2900.0, 3500.0, 3500.0};
  r.runs[3].outcome.conditions.other_load_percent = 100.0;
  return r;
}

// A sweep stopped after three runs on Windows under Wine: no end time, not
// finished, the last point without runs.
ResultsRecord killed_record() {
  ResultsRecord r = realistic_record();
  r.end_time.reset();
  r.finished = false;
  r.machine.os = {"windows", "Windows", "10.0", 19045, std::nullopt, "wine-8.0"};
  r.machine.pages = {std::nullopt, 2097152};
  r.runs.resize(3);
  return r;
}

// Every member a document holds, as one text: equal texts, equal documents.
std::string describe(const ResultsDocument& d) {
  const MachineContext& m = d.machine;
  std::string text = fmt::format(
      "{}|{}|{}|{}|{}|{}|{}\n{}|{}|{}|{}|{}|{}|{}\n{}|{}|{}|{}|{}|{}\n{}|{}|{}|{}|{}|{}|{}\n",
      d.build.version, d.build.compiler, d.build.target, d.command_line, d.start_time,
      d.end_time.value_or("-"), d.finished, m.cpu.brand, m.cpu.vendor, m.cpu.family, m.cpu.model,
      m.cpu.stepping, m.cpu.features, m.cpu.hypervisor, m.topology.packages, m.topology.numa_nodes,
      m.topology.cores, m.topology.logical_processors, m.total_memory, m.available_memory,
      m.os.family, m.os.name, m.os.version, m.os.build ? std::to_string(*m.os.build) : "-",
      m.os.kernel.value_or("-"), m.os.wine.value_or("-"), d.timers.fast_source);
  text +=
      fmt::format("{}|{}\n", m.pages.transparent_huge_pages.value_or("-"), m.pages.huge_page_size);
  const BenchConfig& s = d.settings;
  text += fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}\n", d.timers.fast_frequency_hz,
                      d.timers.coarse_frequency_hz, d.timers.hwbot_compliant,
                      d.timers.check_bypassed, s.numthreads, s.duration, s.size, s.threading,
                      s.workload, s.isa, s.strict_isa_check, s.large_pages, s.bypass_timer_check);
  text += fmt::format("{}|{}|{}|{}\n", d.sweep.variable, d.sweep.option, d.sweep.sub_runs,
                      d.sweep.points);
  const auto opt = [](const auto& value) {
    return value ? fmt::format("{}", *value) : std::string("-");
  };
  for (const DocumentRun& run : d.runs) {
    const RunSettings& rs = run.settings;
    text += fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{}|{:.17g}|{}\n", run.point_index,
                        run.sub_run, rs.threads, rs.duration, rs.size, rs.threading, rs.workload,
                        rs.isa, rs.large_pages, rs.pages, run.valid, run.score, run.timeline);
    const RunConditions& c = run.conditions;
    text +=
        fmt::format("{}|{}|{}|{}|{}|{}|{}|{}|{}|{}\n", opt(run.clock_mhz),
                    opt(c.other_load_percent), opt(c.steal_percent), opt(c.on_processor_percent),
                    opt(c.involuntary_switches), opt(c.major_faults), opt(c.clock_start_mhz),
                    opt(c.clock_end_mhz), opt(c.clock_limit_mhz), opt(c.clock_max_mhz));
  }
  return text;
}

std::string parse_failure(const std::string& text) {
  ResultsDocument document;
  return parse_results_document(text, document).value_or("(parsed)");
}

// What brisk itself writes for command lines it refuses or clamps: the
// history reads every one of its own documents back.
ResultsRecord refused_record() {
  ResultsRecord r = killed_record();
  r.settings.numthreads = 4294967295u;
  r.settings.duration = 0;
  r.sweep.sub_runs = 4294967295u;
  for (RunRecord& run : r.runs) {
    run.sub_run = 1;
    run.outcome.valid = false;
    run.outcome.settings.threads = 4294967295u;
  }
  r.runs.resize(std::min<std::size_t>(r.runs.size(), 1));
  return r;
}

TEST(ResultsReader, RendersAndReadsBackTheSameDocument) {
  for (const ResultsRecord& record : {realistic_record(), killed_record(), refused_record()}) {
    SCOPED_TRACE(record.finished ? "finished" : "killed");
    ResultsDocument read;
    ASSERT_EQ(parse_results_document(render_json(record), read), std::nullopt);
    EXPECT_EQ(describe(read), describe(document_from_record(record)));
    // The indented layout of earlier brisks, every number on a line of its
    // own, reads the same.
    const std::string indented = nlohmann::ordered_json::parse(render_json(record)).dump(2);
    ASSERT_EQ(parse_results_document(indented, read), std::nullopt);
    EXPECT_EQ(describe(read), describe(document_from_record(record)));
  }
}

// Per-thread detail, known or to come, is checked to be JSON and not kept:
// by the quick parser and by the full one that takes over where the quick
// one declines (here: a byte order mark before a document).
TEST(ResultsReader, PerThreadDetailIsDroppedByBothParsers) {
  Json json = Json::parse(render_json(realistic_record()));
  for (Json& run : json["runs"]) {
    // One clock a second, as many as the run has seconds; the threads' part
    // may hold anything, it is not read.
    Json clocks = Json::array();
    for (std::size_t s = 0; s < run["timeline"]["mgups"].size(); ++s) {
      clocks.push_back(s == 0 ? Json(4192) : Json(nullptr));
    }
    run["timeline"]["clock_mhz"] = clocks;
    run["timeline"]["threads_clock_mhz"] = {{4192, 4100}, {nullptr, "not read"}};
  }
  for (const std::string& text : {json.dump(), "\xEF\xBB\xBF" + json.dump()}) {
    ResultsDocument read;
    EXPECT_EQ(parse_results_document(text, read), std::nullopt);
    Json kept;
    ASSERT_EQ(parse_json_kept(text, kept), std::nullopt);
    for (const Json& run : kept["runs"]) {
      EXPECT_FALSE(run.contains("threads"));
      EXPECT_FALSE(run["timeline"].contains("threads"));
      EXPECT_FALSE(run["timeline"].contains("threads_clock_mhz"));
      EXPECT_TRUE(run["timeline"].contains("clock_mhz"));
    }
    EXPECT_FALSE(kept.contains("summary"));
  }
}

// A document whose parts outside the per-thread detail would take more
// memory than any brisk document (a forged one of the largest size read)
// is refused before it is built, by both parsers, in one line.
TEST(ResultsReader, RefusesADocumentWhoseKeptTreeWouldBeTooBig) {
  Json json = Json::parse(render_json(realistic_record()));
  json["brisk"]["command_line"] = Json::array();
  for (int i = 0; i < 300000; ++i) json["brisk"]["command_line"].push_back("a");
  const std::string text = json.dump();
  Json tree;
  EXPECT_FALSE(parse_json_pruned(text, tree));
  ResultsDocument read;
  const std::optional<std::string> failure = parse_results_document(text, read);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->rfind("not a brisk results document: what is not per-thread detail takes "
                           "more than ",
                           0),
            0u)
      << *failure;
  // The same count of values inside the per-thread detail is read.
  json = Json::parse(render_json(realistic_record()));
  for (Json& run : json["runs"]) {
    for (int i = 0; i < 60000; ++i) run["timeline"]["threads"].push_back({1.5});
  }
  EXPECT_EQ(parse_results_document(json.dump(), read), std::nullopt);
}

// The harness runs a point's sub-runs together, but a reader must not depend
// on it: runs of a repeated label go to the first occurrence lacking that
// sub-run, whatever their order.
TEST(ResultsReader, RepeatedLabelsKeepTheirPointsInAnyRunOrder) {
  ResultsRecord record = realistic_record();
  record.runs = {make_run(1, 1, 2, true, 1.0), make_run(2, 1, 2, true, 2.0),
                 make_run(1, 2, 2, true, 3.0), make_run(2, 2, 2, true, 4.0)};
  ResultsDocument read;
  ASSERT_EQ(parse_results_document(render_json(record), read), std::nullopt);
  EXPECT_EQ(describe(read), describe(document_from_record(record)));
}

TEST(ResultsReader, IgnoresMembersItDoesNotKnow) {
  Json json = Json::parse(render_json(realistic_record()));
  json["future"] = {{"nested", {1, 2, 3}}};
  json["runs"][0]["power_watts"] = 65.5;
  json["machine"]["cpu"]["microcode"] = "0xa201016";
  ResultsDocument read;
  ASSERT_EQ(parse_results_document(json.dump(), read), std::nullopt);
  EXPECT_EQ(describe(read), describe(document_from_record(realistic_record())));
}

// A file of an older brisk has no timelines; its runs read with none.
TEST(ResultsReader, ReadsFilesWithoutTimelines) {
  Json json = Json::parse(render_json(realistic_record()));
  for (Json& run : json["runs"]) run.erase("timeline");
  ResultsDocument read;
  ASSERT_EQ(parse_results_document(json.dump(), read), std::nullopt);
  ASSERT_EQ(read.runs.size(), 6u);
  for (const DocumentRun& run : read.runs) EXPECT_TRUE(run.timeline.empty() && !run.clock_mhz);
  EXPECT_EQ(parse_results_document(render_json(realistic_record()), read), std::nullopt);
  EXPECT_EQ(read.runs[3].timeline, std::vector<double>{830.125});
  EXPECT_EQ(read.runs[0].clock_mhz, 4100.0);
  EXPECT_EQ(read.runs[3].clock_mhz, std::nullopt);  // a timeline whose clock is null
  // Written before the clock was measured: a timeline without clocks.
  for (Json& run : json["runs"]) run["timeline"] = Json{{"mgups", {1.0}}, {"threads", {{1.0}}}};
  ASSERT_EQ(parse_results_document(json.dump(), read), std::nullopt);
  EXPECT_EQ(read.runs[0].clock_mhz, std::nullopt);
}

// Files of brisks that did not yet record pages: the kind is unknown, which
// compares equal to any, and the system's settings stay empty.
TEST(ResultsReader, ReadsDocumentsWithoutPages) {
  Json json = Json::parse(render_json(realistic_record()));
  json["machine"].erase("pages");
  for (Json& run : json["runs"]) run.erase("pages");
  ResultsDocument read;
  ASSERT_EQ(parse_results_document(json.dump(), read), std::nullopt);
  EXPECT_EQ(read.machine.pages.transparent_huge_pages, std::nullopt);
  EXPECT_EQ(read.machine.pages.huge_page_size, 0u);
  ASSERT_EQ(read.runs.size(), 6u);
  for (const DocumentRun& run : read.runs) EXPECT_EQ(run.settings.pages, "");
}

// Files written before the conditions were measured have none: they read
// with every figure unknown.
TEST(ResultsReader, RunsWithoutConditionsKnowNothingOfThem) {
  Json json = Json::parse(render_json(realistic_record()));
  for (Json& run : json["runs"]) run.erase("conditions");
  ResultsDocument read;
  ASSERT_EQ(parse_results_document(json.dump(), read), std::nullopt);
  ResultsRecord unmeasured = realistic_record();
  for (RunRecord& run : unmeasured.runs) run.outcome.conditions = RunConditions{};
  EXPECT_EQ(describe(read), describe(document_from_record(unmeasured)));
}

struct BadDocument {
  const char* label;
  std::function<void(Json&)> change;
  const char* expected;
};

TEST(ResultsReader, NamesWhatIsWrongWithADocument) {
  const Json nesting = Json::parse(std::string(70, '[') + std::string(70, ']'));
  const std::vector<BadDocument> cases = {
      {"not an object", [](Json& j) { j = Json::array({1}); }, "not a brisk results document"},
      {"no schema", [](Json& j) { j.erase("schema"); }, "not a brisk results document"},
      {"other schema", [](Json& j) { j["schema"]["name"] = "hyperfine"; },
       "not a brisk results document"},
      {"schema not an object", [](Json& j) { j["schema"] = "brisk-results"; },
       "not a brisk results document"},
      {"newer version", [](Json& j) { j["schema"]["version"] = 3; },
       "results schema version 3 is newer than version 1, the newest this brisk reads"},
      {"version 0", [](Json& j) { j["schema"]["version"] = 0; },
       "schema.version: expected a positive integer"},
      {"version as text", [](Json& j) { j["schema"]["version"] = "1"; },
       "schema.version: expected a positive integer"},
      {"missing member", [](Json& j) { j["machine"]["cpu"].erase("brand"); },
       "machine.cpu.brand: missing"},
      {"threads as text", [](Json& j) { j["runs"][3]["settings"]["threads"] = "2"; },
       "runs[3].settings.threads: expected an unsigned integer"},
      {"negative threads", [](Json& j) { j["runs"][3]["settings"]["threads"] = -2; },
       "runs[3].settings.threads: expected an unsigned integer"},
      {"fractional threads", [](Json& j) { j["runs"][3]["settings"]["threads"] = 2.5; },
       "runs[3].settings.threads: expected an unsigned integer"},
      {"absurd threads", [](Json& j) { j["runs"][0]["settings"]["threads"] = 70000; },
       "runs[0].settings.threads: 70000 is out of range 1..65536"},
      {"zero threads", [](Json& j) { j["runs"][0]["settings"]["threads"] = 0; },
       "runs[0].settings.threads: 0 is out of range"},
      {"duration 0", [](Json& j) { j["runs"][1]["settings"]["duration"] = 0; },
       "runs[1].settings.duration: 0 is out of range 1..1000"},
      {"duration 1001", [](Json& j) { j["runs"][1]["settings"]["duration"] = 1001; },
       "runs[1].settings.duration: 1001 is out of range 1..1000"},
      {"size off the grid", [](Json& j) { j["runs"][2]["settings"]["size"] = 100; },
       "runs[2].settings.size: 100 is not one of the grid sizes"},
      {"settings size", [](Json& j) { j["settings"]["size"] = 1ull << 40; },
       "settings.size: 1099511627776 is out of range 0..8192"},
      {"sweep variable", [](Json& j) { j["sweep"]["variable"] = "cores"; },
       "sweep.variable: \"cores\" is not one of none, size, duration, threads, isa"},
      {"absurd sub_runs", [](Json& j) { j["sweep"]["sub_runs"] = 5000000000u; },
       "sweep.sub_runs: 5000000000 is out of range"},
      {"points not an array", [](Json& j) { j["sweep"]["points"] = "1,2"; },
       "sweep.points: expected an array"},
      {"unknown point", [](Json& j) { j["runs"][0]["point"] = "7"; },
       "runs[0].point: \"7\" is not one of sweep.points"},
      {"point run twice", [](Json& j) { j["runs"][1]["sub_run"] = 1; },
       "runs[1].point: a second sub-run 1 of point \"1\", which sweep.points lists 1 time"},
      {"sub_run 0", [](Json& j) { j["runs"][1]["sub_run"] = 0; }, "runs[1].sub_run: 0 is out"},
      {"sub_run past sub_runs", [](Json& j) { j["runs"][1]["sub_run"] = 3; },
       "runs[1].sub_run: 3 is out of range 1..2"},
      {"runs without sub_runs", [](Json& j) { j["sweep"]["sub_runs"] = 0; },
       "runs: runs of a sweep whose sub_runs is 0"},
      {"zero score", [](Json& j) { j["runs"][0]["score"] = 0; }, "runs[0].score: 0 is not a valid"},
      {"negative score", [](Json& j) { j["runs"][0]["score"] = -431.5; },
       "runs[0].score: -431.5 is not a valid run's score"},
      {"absurd score", [](Json& j) { j["runs"][0]["score"] = 2e9; }, "runs[0].score: 2000000000"},
      {"valid without score", [](Json& j) { j["runs"][0]["score"] = nullptr; },
       "runs[0].score: a valid run's score must be a number"},
      {"score as text", [](Json& j) { j["runs"][0]["score"] = "431"; },
       "runs[0].score: expected a number"},
      {"invalid with score", [](Json& j) { j["runs"][2]["score"] = 1.5; },
       "runs[2].score: an invalid run's score must be null"},
      {"valid as text", [](Json& j) { j["runs"][2]["valid"] = "false"; },
       "runs[2].valid: expected true or false"},
      {"runs not an array", [](Json& j) { j["runs"] = Json::object(); }, "runs: expected an array"},
      {"run not an object", [](Json& j) { j["runs"][4] = 5; }, "runs[4]: expected an object"},
      {"escape in brand", [](Json& j) { j["machine"]["cpu"]["brand"] = "x\x1b[2Jy"; },
       "machine.cpu.brand: holds a control character"},
      {"C1 control",
       [](Json& j) {
         j["brisk"]["command_line"][1] =
             "\xC2\x9B"
             "2J";
       },
       "brisk.command_line[1]: holds a control character"},
      {"end time", [](Json& j) { j["brisk"]["end_time"] = "yesterday"; },
       "brisk.end_time: expected a UTC time"},
      {"os build", [](Json& j) { j["machine"]["os"]["build"] = "19045"; },
       "machine.os.build: expected an unsigned integer or null"},
      {"kernel", [](Json& j) { j["machine"]["os"]["kernel"] = 6; },
       "machine.os.kernel: expected a string or null"},
      {"family", [](Json& j) { j["machine"]["cpu"]["family"] = -1; },
       "machine.cpu.family: -1 is out of range"},
      {"frequency", [](Json& j) { j["timers"]["fast"]["frequency_hz"] = 1e10; },
       "timers.fast.frequency_hz: expected an integer"},
      {"timeline not an object", [](Json& j) { j["runs"][0]["timeline"] = Json::array(); },
       "runs[0].timeline: expected an object"},
      {"timeline without mgups", [](Json& j) { j["runs"][0]["timeline"].erase("mgups"); },
       "runs[0].timeline.mgups: missing"},
      {"more seconds than the run", [](Json& j) { j["runs"][1]["timeline"]["mgups"][1] = 2; },
       "runs[1].timeline.mgups: 2 seconds in a run of 1 s"},
      {"negative second", [](Json& j) { j["runs"][2]["timeline"]["mgups"][0] = -1.5; },
       "runs[2].timeline.mgups[0]: -1.5 is not a rate of one second"},
      {"absurd second", [](Json& j) { j["runs"][2]["timeline"]["mgups"][0] = 1e300; },
       "runs[2].timeline.mgups[0]: 1e+300 is not a rate"},
      {"second as text", [](Json& j) { j["runs"][2]["timeline"]["mgups"][0] = "5"; },
       "runs[2].timeline.mgups[0]: expected a number"},
      {"clock seconds beyond the run",
       [](Json& j) {
         j["runs"][1]["timeline"]["clock_mhz"] = {4100, 4100};
       },
       "runs[1].timeline.clock_mhz: 2 seconds in a run of 1 s"},
      {"clock no processor runs at",
       [](Json& j) { j["runs"][0]["timeline"]["clock_mhz"][0] = 24464000; },
       "runs[0].timeline.clock_mhz[0]: 24464000 is outside 100..20000"},
      {"clock as text", [](Json& j) { j["runs"][0]["timeline"]["clock_mhz"][0] = "4100"; },
       "runs[0].timeline.clock_mhz[0]: expected a number"},
      {"page kind", [](Json& j) { j["runs"][0]["pages"]["kind"] = "huge"; },
       "runs[0].pages.kind: \"huge\" is not one of ordinary, transparent, hugetlb, large"},
      {"pages as text", [](Json& j) { j["runs"][0]["pages"] = "ordinary"; },
       "runs[0].pages: expected an object"},
      {"share over 100", [](Json& j) { j["runs"][3]["pages"]["huge_percent"] = 100.5; },
       "runs[3].pages.huge_percent: 100.5 is not a share in percent"},
      {"negative share", [](Json& j) { j["runs"][3]["pages"]["huge_percent"] = -1; },
       "runs[3].pages.huge_percent: -1 is not a share in percent"},
      {"share missing", [](Json& j) { j["runs"][3]["pages"].erase("huge_percent"); },
       "runs[3].pages.huge_percent: missing"},
      {"huge page size", [](Json& j) { j["machine"]["pages"]["huge_page_size_bytes"] = -1; },
       "machine.pages.huge_page_size_bytes: expected an unsigned integer"},
      {"thp mode", [](Json& j) { j["machine"]["pages"]["transparent_huge_pages"] = 1; },
       "machine.pages.transparent_huge_pages: expected a string or null"},
      {"conditions not an object", [](Json& j) { j["runs"][0]["conditions"] = 5; },
       "runs[0].conditions: expected an object"},
      {"share over 100", [](Json& j) { j["runs"][0]["conditions"]["steal_percent"] = 150; },
       "runs[0].conditions.steal_percent: 150 is outside 0..100"},
      {"negative share", [](Json& j) { j["runs"][0]["conditions"]["other_load_percent"] = -1; },
       "runs[0].conditions.other_load_percent: -1 is outside 0..100"},
      {"share as text", [](Json& j) { j["runs"][0]["conditions"]["on_processor_percent"] = "97"; },
       "runs[0].conditions.on_processor_percent: expected a number"},
      {"missing figure", [](Json& j) { j["runs"][0]["conditions"].erase("clock_end_mhz"); },
       "runs[0].conditions.clock_end_mhz: missing"},
      {"negative count",
       [](Json& j) { j["runs"][0]["conditions"]["involuntary_context_switches"] = -3; },
       "runs[0].conditions.involuntary_context_switches: expected an unsigned integer or null"},
      {"deep unknown member", [&](Json& j) { j["future"] = nesting; },
       "nested deeper than 64 levels"},
  };
  const Json base = Json::parse(render_json(realistic_record()));
  for (const BadDocument& c : cases) {
    SCOPED_TRACE(c.label);
    Json json = base;
    c.change(json);
    EXPECT_NE(parse_failure(json.dump()).find(c.expected), std::string::npos)
        << parse_failure(json.dump());
  }
}

TEST(ResultsReader, NamesWhereTextIsNotJson) {
  const std::string good = render_json(realistic_record());
  std::string score = good;
  const std::size_t number = score.find("\"score\": ") + 9;
  score.replace(number, score.find(',', number) - number, "NaN");
  const struct {
    const char* label;
    std::string text;
    const char* expected;
  } cases[] = {
      {"empty", "", "not JSON: the text is empty"},
      {"blank", " \n\t", "not JSON: the text is empty"},
      {"syntax", "{\"a\" 1}", "not JSON: syntax error at byte 6"},
      {"trailing text", good + "x", "not JSON: syntax error at byte"},
      {"NaN score", score, "not JSON: syntax error"},
      {"overflowing number", "{\"a\": 1e999}",
       "not JSON at byte 11: number overflow parsing '1e999'"},
      {"truncated", good.substr(0, good.size() / 2),
       "in the middle of a value (a truncated file?)"},
      {"not UTF-8", "{\"a\": \"\xFF\"}", "not UTF-8: byte 8 (0xFF)"},
      {"cut UTF-8", "{\"a\": \"\xE6\x97", "not UTF-8: the text ends inside a multi-byte sequence"},
      {"long token", "{\"a\": \"" + std::string(1 << 20, 'x') + "\\q\"}", "..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string failure = parse_failure(c.text);
    EXPECT_NE(failure.find(c.expected), std::string::npos) << failure;
    EXPECT_LT(failure.size(), 400u);  // one readable line, whatever the token
  }
}

// Nesting is refused while parsing: a deep document never builds a deep tree
// nor recurses, whether it closes or not.
TEST(ResultsReader, RefusesDeepNestingWhileParsing) {
  const std::string open(100000, '[');
  std::string deep_objects;
  for (int i = 0; i < 50000; ++i) deep_objects += "{\"a\":";
  for (const std::string& text : {open + std::string(100000, ']'), open, deep_objects}) {
    EXPECT_NE(parse_failure(text).find("nested deeper than 64 levels"), std::string::npos)
        << parse_failure(text).substr(0, 200);
  }
  Json tree;
  EXPECT_EQ(parse_json_bounded(std::string(64, '[') + std::string(64, ']'), tree), std::nullopt);
}

TEST(ResultsReader, FindsTheFirstByteThatIsNotUtf8) {
  const struct {
    std::string text;
    std::optional<std::size_t> bad;
  } cases[] = {
      {"plain", std::nullopt},
      {"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 \xC3\xA9 \xF4\x8F\xBF\xBF", std::nullopt},
      {"a\x80", 2},             // a continuation byte alone
      {"ab\xC0\xAF", 3},        // overlong '/'
      {"\xE0\x80\xAF", 2},      // overlong three-byte form
      {"\xED\xA0\x80", 2},      // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", 2},  // above U+10FFFF
      {"\xF5\x80\x80\x80", 1},  // no such lead byte
      {"\xE6\x97", 3},          // cut short
      {"\xE6\x97x", 3},         // continuation missing
  };
  for (const auto& c : cases) {
    EXPECT_EQ(first_invalid_utf8(c.text), c.bad) << c.text;
  }
}

TEST(ResultsReader, LoadsAFileOrSaysWhyNot) {
  ScratchDir dir;
  const std::string text = render_json(realistic_record());
  const std::string name = "r\xC3\xA9sultats-\xE6\x97\xA5\xE6\x9C\xAC.json";  // résultats-日本.json
  write_file(utf8_path(dir.utf8(name)), text);
  ResultsDocument read;
  ASSERT_EQ(load_results_file(dir.utf8(name), read), std::nullopt);
  EXPECT_EQ(describe(read), describe(document_from_record(realistic_record())));

  write_file(dir.path() / "empty.json", "");
  write_file(dir.path() / "bad.json", text.substr(0, 100));
  std::filesystem::create_directory(dir.path() / "folder.json");
  // Sparse: refused by its size alone, never read.
  write_file(dir.path() / "huge.json", "{");
  std::filesystem::resize_file(dir.path() / "huge.json", kMaxResultsFileBytes + 1);
  const struct {
    std::string name;
    std::string reason;
  } cases[] = {
      {"missing.json", ""},  // the system's words, which differ between the platforms
      {"empty.json", "the file is empty"},
      {"folder.json", "is a folder"},
      {"bad.json", "a truncated file?"},
      {"huge.json", fmt::format("is {} bytes, larger than the limit of {} bytes",
                                kMaxResultsFileBytes + 1, kMaxResultsFileBytes)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.utf8(c.name);
    const std::optional<std::string> failure = load_results_file(path, read);
    ASSERT_TRUE(failure.has_value());
    const std::string prefix = fmt::format("cannot read results file \"{}\": ", path);
    EXPECT_EQ(failure->substr(0, prefix.size()), prefix);
    EXPECT_GT(failure->size(), prefix.size());
    EXPECT_NE(failure->find(c.reason, prefix.size()), std::string::npos) << *failure;
    EXPECT_EQ(failure->find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace brisk
