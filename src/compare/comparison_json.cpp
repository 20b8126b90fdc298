#include "compare/comparison_json.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "results/json_writer.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

// NaN and infinities have no JSON form: a reader must see "no number".
Json number(std::optional<double> value) {
  return value && std::isfinite(*value) ? Json(*value) : Json(nullptr);
}

Json text_or_null(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

// A measured clock in whole MHz, the precision it has.
Json mhz(std::optional<double> value) {
  return value && std::isfinite(*value) ? Json(std::llround(*value)) : Json(nullptr);
}

Json numbers(const std::vector<double>& values) {
  Json out = Json::array();
  for (const double v : values) out.push_back(number(v));
  return out;
}

// Every point of one file with its own runs, matched or not, so a chart can
// draw each file's whole line, and each run's course second by second.
Json points_json(const ResultsDocument& d) {
  const std::vector<PointSide> sides = point_sides(d);
  std::vector<Json> timelines(sides.size(), Json::array());
  for (const DocumentRun& run : d.runs) {
    if (run.point_index >= timelines.size()) continue;
    timelines[run.point_index].push_back(
        Json{{"sub_run", run.sub_run}, {"valid", run.valid}, {"mgups", numbers(run.timeline)}});
  }
  std::map<std::string, std::uint32_t> seen;
  Json out = Json::array();
  for (std::size_t i = 0; i < sides.size(); ++i) {
    const PointSide& side = sides[i];
    out.push_back(Json{{"label", d.sweep.points[i]},
                       {"occurrence", seen[d.sweep.points[i]]++},
                       {"scores", numbers(side.scores)},
                       {"runs", side.runs},
                       {"average", number(side.average)},
                       {"spread_percent", number(side.spread_percent)},
                       {"noisy", side.noisy},
                       {"noise_cause", text_or_null(side.noise_cause)},
                       {"clock_mhz", mhz(side.clock_mhz)},
                       {"timelines", std::move(timelines[i])}});
  }
  return out;
}

// The machine's facts that stay the same between runs, and the settings as
// the command line gave them: the results document's members without the
// available memory and the timer-check bypass. The page settings are the
// system's, not the machine's: what they gave each run is the runs' page kind.
Json stable_machine_json(const MachineContext& m) {
  Json machine = machine_json(m);
  machine["memory"].erase("available_bytes");
  machine.erase("pages");
  return machine;
}

Json stable_settings_json(const BenchConfig& c) {
  Json settings = settings_json(c);
  settings.erase("bypass_timer_check");
  return settings;
}

Json file_json(const ComparedFile& f) {
  const ResultsDocument& d = f.document;
  return Json{
      {"name", f.name},
      {"incomplete", f.incomplete},
      {"start_time", d.start_time},
      {"brisk",
       {{"version", d.build.version}, {"compiler", d.build.compiler}, {"target", d.build.target}}},
      {"machine", stable_machine_json(d.machine)},
      {"settings", stable_settings_json(d.settings)},
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
              {"noisy", s.noisy},
              {"noise_cause", text_or_null(s.noise_cause)},
              {"clock_mhz", mhz(s.clock_mhz)}};
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
              {"differing_settings", r.differing_settings},
              {"clock_change_percent", number(r.clock_change_percent)}};
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
