#include "results/json_writer.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "memory/memory_info.h"
#include "results/compact_json.h"
#include "results/json_or_null.h"
#include "results/results_summary.h"
#include "results/stability_json.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

Json thread_json(const ThreadOutcome& t) {
  Json processor = nullptr;
  if (t.processor) processor = Json{{"group", t.processor->group}, {"number", t.processor->number}};
  return Json{{"index", t.result.thread_index},
              {"processor", std::move(processor)},
              {"updates", t.result.updates},
              {"iterations", t.result.iterations},
              {"coarse_ms", t.result.coarse_ms},
              {"fast_us", t.result.fast_us},
              {"mgups", t.mgups}};
}

// A clock in whole MHz, the precision it has; null where none.
Json mhz_json(const std::optional<double>& mhz) {
  return mhz ? Json(std::llround(*mhz)) : Json(nullptr);
}

Json clocks_json(const std::vector<std::optional<double>>& clocks) {
  Json out = Json::array();
  for (const std::optional<double>& mhz : clocks) out.push_back(mhz_json(mhz));
  return out;
}

Json timeline_json(const RunTimeline& timeline) {
  Json threads = Json::array();
  for (const std::vector<double>& rates : timeline.threads) threads.push_back(rates);
  Json threads_clock = Json::array();
  for (const auto& clocks : timeline.threads_clock_mhz)
    threads_clock.push_back(clocks_json(clocks));
  return Json{{"mgups", timeline.mgups},
              {"threads", std::move(threads)},
              {"clock_mhz", clocks_json(timeline.clock_mhz)},
              {"threads_clock_mhz", std::move(threads_clock)}};
}

// The pages the run's fields got; null when it obtained no field memory.
Json pages_json(const RunOutcome& o) {
  if (o.settings.pages.empty()) return nullptr;
  return Json{{"kind", o.settings.pages}, {"huge_percent", o.huge_percent.value_or(0.0)}};
}

Json conditions_json(const RunConditions& c) {
  return Json{{"other_load_percent", or_null(c.other_load_percent)},
              {"steal_percent", or_null(c.steal_percent)},
              {"on_processor_percent", or_null(c.on_processor_percent)},
              {"involuntary_context_switches", or_null(c.involuntary_switches)},
              {"major_page_faults", or_null(c.major_faults)},
              {"clock_start_mhz", mhz_json(c.clock_start_mhz)},
              {"clock_end_mhz", mhz_json(c.clock_end_mhz)},
              {"clock_limit_mhz", mhz_json(c.clock_limit_mhz)},
              {"clock_max_mhz", mhz_json(c.clock_max_mhz)}};
}

Json run_json(const ResultsRecord& record, const RunRecord& run) {
  const RunOutcome& o = run.outcome;
  const RunSettings& s = o.settings;
  Json threads = Json::array();
  for (const ThreadOutcome& t : o.threads) threads.push_back(thread_json(t));
  const std::vector<std::string> none;
  return Json{{"point", record.sweep.points.at(run.point_index)},
              {"sub_run", run.sub_run},
              {"settings",
               {{"threads", s.threads},
                {"threading", s.threading},
                {"size", s.size},
                {"duration", s.duration},
                {"workload", s.workload},
                {"isa", s.isa},
                {"large_pages", s.large_pages}}},
              {"pages", pages_json(o)},
              {"valid", o.valid},
              {"score", o.valid ? Json(o.score) : Json(nullptr)},
              {"reasons", o.valid ? none : o.messages},
              {"warnings", o.valid ? o.messages : none},
              {"field_memory_per_thread_bytes", memory_per_thread(s.size)},
              {"initialization_ms", or_null(o.init_ms)},
              {"conditions", conditions_json(o.conditions)},
              {"threads", std::move(threads)},
              {"timeline", timeline_json(o.timeline)}};
}

Json summary_json(const SummaryRow& row) {
  Json scores = Json::array();
  Json cells = Json::array();
  for (const RunOutcome* o : row.outcomes) {
    scores.push_back(o->valid ? Json(o->score) : Json(nullptr));
    cells.push_back(score_cell(*o));
  }
  return Json{{"point", row.point},
              {"scores", std::move(scores)},
              {"average", or_null(row.statistics.average())},
              {"spread_percent", or_null(row.statistics.spread_percent())},
              {"cells",
               {{"scores", std::move(cells)},
                {"average", row.statistics.average_cell()},
                {"spread", row.statistics.spread_cell()}}}};
}

}  // namespace

Json machine_json(const MachineContext& m) {
  const CpuContext& cpu = m.cpu;
  return Json{
      {"cpu",
       {{"brand", cpu.brand},
        {"vendor", cpu.vendor},
        {"family", cpu.family},
        {"model", cpu.model},
        {"stepping", cpu.stepping},
        {"features", cpu.features},
        {"hypervisor", cpu.hypervisor}}},
      {"topology",
       {{"packages", m.topology.packages},
        {"numa_nodes", m.topology.numa_nodes},
        {"cores", m.topology.cores},
        {"logical_processors", m.topology.logical_processors}}},
      {"memory", {{"total_bytes", m.total_memory}, {"available_bytes", m.available_memory}}},
      {"os",
       {{"family", m.os.family},
        {"name", m.os.name},
        {"version", m.os.version},
        {"build", or_null(m.os.build)},
        {"kernel", or_null(m.os.kernel)},
        {"wine", or_null(m.os.wine)}}},
      {"pages",
       {{"transparent_huge_pages", or_null(m.pages.transparent_huge_pages)},
        {"huge_page_size_bytes", m.pages.huge_page_size}}},
  };
}

Json settings_json(const BenchConfig& c) {
  return Json{{"numthreads", c.numthreads},
              {"duration", c.duration},
              {"size", c.size},
              {"threading", c.threading},
              {"workload", c.workload},
              {"isa", c.isa},
              {"strict_isa_check", c.strict_isa_check},
              {"large_pages", c.large_pages},
              {"bypass_timer_check", c.bypass_timer_check}};
}

namespace {

Json header_json(const ResultsRecord& record) {
  return Json{
      {"schema", {{"name", kResultsSchemaName}, {"version", kResultsSchemaVersion}}},
      {"brisk",
       {{"version", record.build.version},
        {"compiler", record.build.compiler},
        {"target", record.build.target},
        {"command_line", record.command_line},
        {"start_time", record.start_time},
        {"end_time", or_null(record.end_time)},
        {"finished", record.finished}}},
      {"machine", machine_json(record.machine)},
      {"timers",
       {{"fast",
         {{"source", record.timers.fast_source},
          {"frequency_hz", record.timers.fast_frequency_hz}}},
        {"coarse", {{"frequency_hz", record.timers.coarse_frequency_hz}}},
        {"hwbot_compliant", record.timers.hwbot_compliant},
        {"check_bypassed", record.timers.check_bypassed}}},
      {"settings", settings_json(record.settings)},
      {"sweep",
       {{"variable", record.sweep.variable},
        {"option", record.sweep.option},
        {"sub_runs", record.sweep.sub_runs},
        {"points", record.sweep.points}}},
  };
}

void append_member(std::string& out, std::string_view key, const Json& value) {
  append_indent(out, 1);
  out += Json(key).dump();
  out += ": ";
  append_compact_json(out, value, 1);
}

}  // namespace

bool is_written_run(const ResultsRecord& record, const RunRecord& run) {
  return run.point_index < record.sweep.points.size();
}

std::string render_json_head(const ResultsRecord& record) {
  std::string out = "{\n";
  const Json header = header_json(record);
  for (const auto& [key, value] : header.items()) {
    append_member(out, key, value);
    out += ",\n";
  }
  append_indent(out, 1);
  out += "\"runs\": [";
  return out;
}

std::string render_json_run(const ResultsRecord& record, const RunRecord& run, bool first) {
  std::string out = first ? "\n" : ",\n";
  append_indent(out, 2);
  append_compact_json(out, run_json(record, run), 2);
  return out;
}

std::string render_json_tail(const ResultsRecord& record, bool any_run) {
  std::string out = any_run ? "\n  ],\n" : "],\n";
  Json summary = Json::array();
  for (const SummaryRow& row : summarize(record)) summary.push_back(summary_json(row));
  append_member(out, "summary", summary);
  if (record.stability) {
    out += ",\n";
    append_member(out, "stability", stability_json(*record.stability));
  }
  out += "\n}\n";
  return out;
}

std::string render_json(const ResultsRecord& record) {
  std::string out = render_json_head(record);
  bool first = true;
  for (const RunRecord& run : record.runs) {
    if (!is_written_run(record, run)) continue;
    out += render_json_run(record, run, first);
    first = false;
  }
  out += render_json_tail(record, !first);
  return out;
}

}  // namespace brisk
