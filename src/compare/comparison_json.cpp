#include "compare/comparison_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "bench/score_statistics.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

// NaN and infinities have no JSON form: a reader must see "no number".
Json number(std::optional<double> value) {
  return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

Json numbers(const std::vector<double>& values) {
  Json out = Json::array();
  for (const double v : values) out.push_back(number(v));
  return out;
}

template <typename T>
Json or_null(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// The machine's facts that stay the same between runs: no available memory.
Json machine_json(const MachineContext& m) {
  const CpuContext& cpu = m.cpu;
  return Json{{"cpu",
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
              {"memory", {{"total_bytes", m.total_memory}}},
              {"os",
               {{"family", m.os.family},
                {"name", m.os.name},
                {"version", m.os.version},
                {"build", or_null(m.os.build)},
                {"kernel", or_null(m.os.kernel)},
                {"wine", or_null(m.os.wine)}}}};
}

Json settings_json(const BenchConfig& c) {
  return Json{{"numthreads", c.numthreads},
              {"duration", c.duration},
              {"size", c.size},
              {"threading", c.threading},
              {"workload", c.workload},
              {"isa", c.isa},
              {"strict_isa_check", c.strict_isa_check},
              {"large_pages", c.large_pages}};
}

// Every point of one file with its own runs, matched or not, so a chart can
// draw each file's whole line.
Json points_json(const ResultsDocument& d) {
  const std::size_t count = d.sweep.points.size();
  std::vector<ScoreStatistics> statistics(count);
  std::vector<std::vector<double>> scores(count);
  std::vector<std::uint32_t> runs(count, 0);
  for (const DocumentRun& run : d.runs) {
    if (run.point_index >= count) continue;
    ++runs[run.point_index];
    RunOutcome outcome;
    outcome.valid = run.valid && std::isfinite(run.score) && run.score > 0.0;
    outcome.score = run.score;
    statistics[run.point_index].add(outcome);
    if (outcome.valid) scores[run.point_index].push_back(run.score);
  }
  Json out = Json::array();
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t occurrence = 0;
    for (std::size_t j = 0; j < i; ++j) occurrence += d.sweep.points[j] == d.sweep.points[i];
    const std::optional<double> spread = statistics[i].spread_percent();
    out.push_back(Json{{"label", d.sweep.points[i]},
                       {"occurrence", occurrence},
                       {"scores", numbers(scores[i])},
                       {"runs", runs[i]},
                       {"average", number(statistics[i].average())},
                       {"spread_percent", number(spread)},
                       {"noisy", spread.has_value() && *spread > kNoisySpreadPercent}});
  }
  return out;
}

Json file_json(const ComparedFile& f) {
  const ResultsDocument& d = f.document;
  return Json{
      {"name", f.name},
      {"incomplete", f.incomplete},
      {"start_time", d.start_time},
      {"brisk",
       {{"version", d.build.version}, {"compiler", d.build.compiler}, {"target", d.build.target}}},
      {"machine", machine_json(d.machine)},
      {"settings", settings_json(d.settings)},
      {"sweep",
       {{"variable", d.sweep.variable},
        {"option", d.sweep.option},
        {"sub_runs", d.sweep.sub_runs},
        {"points", d.sweep.points}}},
      {"points", points_json(d)}};
}

Json side_json(const PointSide& s) {
  return Json{{"scores", numbers(s.scores)},
              {"n", s.scores.size()},
              {"runs", s.runs},
              {"average", number(s.average)},
              {"spread_percent", number(s.spread_percent)},
              {"noisy", s.noisy}};
}

Json row_json(const Comparison& c, const PointComparison& r) {
  const std::string name = r.file < c.files.size() ? c.files[r.file].name : std::string();
  return Json{{"file", r.file},
              {"name", name},
              {"variable", r.variable},
              {"label", r.label},
              {"occurrence", r.occurrence},
              {"base", side_json(r.base)},
              {"other", side_json(r.other)},
              {"delta_percent", number(r.delta_percent)},
              {"p_value", number(r.p_value)},
              {"ci_low_percent", number(r.ci_low_percent)},
              {"ci_high_percent", number(r.ci_high_percent)},
              {"verdict", verdict_name(r.verdict)},
              {"needs_more_runs", r.needs_more_runs},
              {"like_for_like", r.like_for_like},
              {"differing_settings", r.differing_settings}};
}

}  // namespace

std::string render_comparison_json(const Comparison& c) {
  Json files = Json::array();
  for (const ComparedFile& f : c.files) files.push_back(file_json(f));
  Json differences = Json::array();
  for (const ContextDifference& d : c.differences) {
    differences.push_back(Json{{"field", d.field}, {"values", d.values}});
  }
  Json rows = Json::array();
  for (const PointComparison& r : c.rows) rows.push_back(row_json(c, r));
  Json unmatched = Json::array();
  for (const UnmatchedPoint& u : c.unmatched) {
    unmatched.push_back(Json{{"variable", u.variable},
                             {"label", u.label},
                             {"occurrence", u.occurrence},
                             {"present_in", u.present_in},
                             {"missing_in", u.missing_in}});
  }
  const Json document{
      {"schema", {{"name", kComparisonSchemaName}, {"version", kComparisonSchemaVersion}}},
      {"threshold_percent", number(c.threshold_percent)},
      {"noisy_spread_percent", kNoisySpreadPercent},
      {"significance_level", kSignificanceLevel},
      {"files", std::move(files)},
      {"differences", std::move(differences)},
      {"same_machine", c.same_machine},
      {"same_build", c.same_build},
      {"rows", std::move(rows)},
      {"unmatched", std::move(unmatched)}};
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace brisk
