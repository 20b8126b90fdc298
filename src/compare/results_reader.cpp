#include "compare/results_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <new>
#include <utility>

#include "bench/run_timeline.h"
#include "compare/pruned_json.h"
#include "compare/results_reader_fields.h"
#include "compare/results_reader_json.h"
#include "platform/clock_probe.h"
#include "platform/file_read.h"
#include "results/console_text.h"
#include "results/json_writer.h"

namespace brisk {
namespace {

using Json = nlohmann::json;

// What brisk itself can write; anything beyond is a forged or broken file,
// refused before it reaches a comparison's arithmetic.
constexpr std::uint64_t kMaxThreads = 1u << 16;
constexpr std::uint64_t kMaxTopologyCount = 1u << 20;
// The harness generates at most 100,000 points; sub-runs are a plain count,
// bounded here at what any sweep could finish in a lifetime.
constexpr std::uint64_t kMaxSweepPoints = 100000;
constexpr double kMaxScore = 1e9;  // MGups
constexpr std::uint64_t kMaxUint32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kMaxInt32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMinInt64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMaxInt64 = std::numeric_limits<std::int64_t>::max();
constexpr std::array<std::string_view, 4> kPageKinds = {"ordinary", "transparent", "hugetlb",
                                                        "large"};
constexpr std::array<std::string_view, 5> kSweepVariables = {"none", "size", "duration", "threads",
                                                             "isa"};

// "2026-12-09T15:05:04Z": the one form the writer uses.
bool is_utc_time(std::string_view text) {
  constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  return true;
}

std::uint64_t grid_size(JsonFields& f, const JsonPlace& place) {
  const std::uint64_t size = f.unsigned_in(place, 0, kGridSizes.back());
  if (f.ok() && std::find(kGridSizes.begin(), kGridSizes.end(), size) == kGridSizes.end()) {
    f.fail(place, fmt::format("{} is not one of the grid sizes {}", size, kGridSizeList));
  }
  return size;
}

std::string utc_time(JsonFields& f, const JsonPlace& place) {
  std::string time = f.text(place);
  if (f.ok() && !is_utc_time(time)) f.fail(place, "expected a UTC time like 2026-12-09T15:05:04Z");
  return time;
}

// The schema member first: a file that is no results document, or one of a
// newer brisk, is named as such before any other member is looked at.
void read_schema(JsonFields& f, const JsonPlace& root) {
  const JsonPlace schema = f.member(root, "schema");
  const JsonPlace name = schema.value ? f.member(schema, "name") : JsonPlace{};
  if (!f.ok() || !schema.value->is_object() || !name.value->is_string() ||
      name.value->get_ref<const std::string&>() != kResultsSchemaName) {
    f = JsonFields();
    f.fail({}, "not a brisk results document (no schema named \"brisk-results\")");
    return;
  }
  const JsonPlace version = f.member(schema, "version");
  if (!f.ok() || !version.value->is_number_unsigned() || version.value->get<std::uint64_t>() == 0) {
    f = JsonFields();
    f.fail({nullptr, "schema.version"}, "expected a positive integer");
    return;
  }
  const auto number = version.value->get<std::uint64_t>();
  if (number > static_cast<std::uint64_t>(kResultsSchemaVersion)) {
    f.fail({}, fmt::format("results schema version {} is newer than version {}, the newest this "
                           "brisk reads",
                           number, kResultsSchemaVersion));
  }
}

void read_brisk(JsonFields& f, const JsonPlace& root, ResultsDocument& out) {
  const JsonPlace brisk = f.member(root, "brisk");
  out.build.version = f.text(f.member(brisk, "version"));
  out.build.compiler = f.text(f.member(brisk, "compiler"));
  out.build.target = f.text(f.member(brisk, "target"));
  const JsonPlace command_line = f.member(brisk, "command_line");
  out.command_line.resize(f.array_size(command_line));
  for (std::size_t i = 0; i < out.command_line.size() && f.ok(); ++i) {
    out.command_line[i] = f.text(f.element(command_line, i));
  }
  out.start_time = utc_time(f, f.member(brisk, "start_time"));
  const JsonPlace end_time = f.member(brisk, "end_time");
  if (!f.is_null(end_time)) out.end_time = utc_time(f, end_time);
  out.finished = f.boolean(f.member(brisk, "finished"));
}

void read_cpu(JsonFields& f, const JsonPlace& machine, CpuContext& cpu) {
  const JsonPlace place = f.member(machine, "cpu");
  cpu.brand = f.text(f.member(place, "brand"));
  cpu.vendor = f.text(f.member(place, "vendor"));
  cpu.family = static_cast<std::int32_t>(f.signed_in(f.member(place, "family"), 0, kMaxInt32));
  cpu.model = static_cast<std::int32_t>(f.signed_in(f.member(place, "model"), 0, kMaxInt32));
  cpu.stepping = static_cast<std::int32_t>(f.signed_in(f.member(place, "stepping"), 0, kMaxInt32));
  const JsonPlace features = f.member(place, "features");
  cpu.features.resize(f.array_size(features));
  for (std::size_t i = 0; i < cpu.features.size() && f.ok(); ++i) {
    cpu.features[i] = f.text(f.element(features, i));
  }
  cpu.hypervisor = f.boolean(f.member(place, "hypervisor"));
}

void read_machine(JsonFields& f, const JsonPlace& root, MachineContext& machine) {
  const JsonPlace place = f.member(root, "machine");
  read_cpu(f, place, machine.cpu);
  const JsonPlace topology = f.member(place, "topology");
  const auto count = [&](std::string_view name) {
    return f.unsigned_in(f.member(topology, name), 0, kMaxTopologyCount);
  };
  machine.topology = {count("packages"), count("numa_nodes"), count("cores"),
                      count("logical_processors")};
  const JsonPlace memory = f.member(place, "memory");
  machine.total_memory = f.unsigned_in(f.member(memory, "total_bytes"), 0, UINT64_MAX);
  machine.available_memory = f.unsigned_in(f.member(memory, "available_bytes"), 0, UINT64_MAX);
  const JsonPlace os = f.member(place, "os");
  machine.os.family = f.text(f.member(os, "family"));
  machine.os.name = f.text(f.member(os, "name"));
  machine.os.version = f.text(f.member(os, "version"));
  if (auto build = f.unsigned_or_null(f.member(os, "build"), kMaxUint32)) {
    machine.os.build = static_cast<std::uint32_t>(*build);
  }
  machine.os.kernel = f.text_or_null(f.member(os, "kernel"));
  machine.os.wine = f.text_or_null(f.member(os, "wine"));
  // Documents of brisks that did not yet record the page settings lack it.
  const JsonPlace pages = f.optional_member(place, "pages");
  if (pages.value) {
    machine.pages.transparent_huge_pages =
        f.text_or_null(f.member(pages, "transparent_huge_pages"));
    machine.pages.huge_page_size =
        f.unsigned_in(f.member(pages, "huge_page_size_bytes"), 0, UINT64_MAX);
  }
}

void read_timers(JsonFields& f, const JsonPlace& root, TimerContext& timers) {
  const JsonPlace place = f.member(root, "timers");
  const JsonPlace fast = f.member(place, "fast");
  timers.fast_source = f.text(f.member(fast, "source"));
  timers.fast_frequency_hz = f.signed_in(f.member(fast, "frequency_hz"), kMinInt64, kMaxInt64);
  timers.coarse_frequency_hz =
      f.signed_in(f.member(f.member(place, "coarse"), "frequency_hz"), kMinInt64, kMaxInt64);
  timers.hwbot_compliant = f.boolean(f.member(place, "hwbot_compliant"));
  timers.check_bypassed = f.boolean(f.member(place, "check_bypassed"));
}

void read_settings(JsonFields& f, const JsonPlace& root, BenchConfig& settings) {
  const JsonPlace place = f.member(root, "settings");
  settings.numthreads =
      static_cast<std::uint32_t>(f.unsigned_in(f.member(place, "numthreads"), 0, kMaxUint32));
  // As given on the command line: the run clamps it, so any count is possible.
  settings.duration =
      static_cast<std::uint32_t>(f.unsigned_in(f.member(place, "duration"), 0, kMaxUint32));
  settings.size = grid_size(f, f.member(place, "size"));
  settings.threading = f.text(f.member(place, "threading"));
  settings.workload = f.text(f.member(place, "workload"));
  settings.isa = f.text(f.member(place, "isa"));
  settings.strict_isa_check = f.boolean(f.member(place, "strict_isa_check"));
  settings.large_pages = f.boolean(f.member(place, "large_pages"));
  settings.bypass_timer_check = f.boolean(f.member(place, "bypass_timer_check"));
}

void read_sweep(JsonFields& f, const JsonPlace& root, SweepRecord& sweep) {
  const JsonPlace place = f.member(root, "sweep");
  sweep.variable = f.choice(f.member(place, "variable"), kSweepVariables);
  sweep.option = f.text(f.member(place, "option"));
  sweep.sub_runs =
      static_cast<std::uint32_t>(f.unsigned_in(f.member(place, "sub_runs"), 0, kMaxUint32));
  const JsonPlace points = f.member(place, "points");
  const std::size_t count = f.array_size(points);
  if (count > kMaxSweepPoints) {
    f.fail(points,
           fmt::format("{} points, more than the {} a sweep can have", count, kMaxSweepPoints));
    return;
  }
  sweep.points.resize(count);
  for (std::size_t i = 0; i < count && f.ok(); ++i) sweep.points[i] = f.text(f.element(points, i));
}

}  // namespace
namespace {

// Which occurrence of a label in sweep.points a run belongs to. Labels may
// repeat ("--harness-opt 4,4"), so the label alone does not say. The rule: a
// run of label L and sub-run k goes to the first occurrence of L that has no
// sub-run k yet. The harness performs a point's sub-runs 1..n before the next
// point, so this gives every run its own point back; it would for any other
// order of the runs too. Per (label, k) the occurrences fill in order, so a
// cursor per pair finds the next one in constant time, whatever the file.
class PointAssigner {
 public:
  explicit PointAssigner(const std::vector<std::string>& points) {
    for (std::size_t i = 0; i < points.size(); ++i) occurrences_[points[i]].push_back(i);
  }

  // The point index for the run, or why there is none.
  std::optional<std::string> assign(const std::string& label, std::uint32_t sub_run,
                                    std::size_t& point_index) {
    const auto found = occurrences_.find(label);
    if (found == occurrences_.end()) {
      return fmt::format("\"{}\" is not one of sweep.points", label);
    }
    std::size_t& next = cursors_[{label, sub_run}];
    if (next >= found->second.size()) {
      return fmt::format("a second sub-run {} of point \"{}\", which sweep.points lists {} time{}",
                         sub_run, label, found->second.size(),
                         found->second.size() == 1 ? "" : "s");
    }
    point_index = found->second[next++];
    return std::nullopt;
  }

 private:
  std::map<std::string, std::vector<std::size_t>> occurrences_;
  std::map<std::pair<std::string, std::uint32_t>, std::size_t> cursors_;
};

// A refused run records the thread count it was asked for, whatever it was
// (brisk refuses 4294967295 threads and says so); only a run that produced a
// score must have had a thread count a machine can run.
void read_run_settings(JsonFields& f, const JsonPlace& run, bool valid, RunSettings& settings) {
  const JsonPlace place = f.member(run, "settings");
  settings.threads = static_cast<std::uint32_t>(
      f.unsigned_in(f.member(place, "threads"), valid ? 1 : 0, valid ? kMaxThreads : kMaxUint32));
  settings.threading = f.text(f.member(place, "threading"));
  settings.size = grid_size(f, f.member(place, "size"));
  settings.duration = static_cast<std::uint32_t>(
      f.unsigned_in(f.member(place, "duration"), kMinDuration, kMaxDuration));
  settings.workload = f.text(f.member(place, "workload"));
  settings.isa = f.text(f.member(place, "isa"));
  settings.large_pages = f.boolean(f.member(place, "large_pages"));
}

// The kind of page the run's fields got: null when it obtained none, absent
// in documents of brisks that did not record it (the kind is then unknown,
// which compares equal to any).
void read_run_pages(JsonFields& f, const JsonPlace& run, RunSettings& settings) {
  const JsonPlace place = f.optional_member(run, "pages");
  if (!place.value || f.is_null(place)) return;
  settings.pages = f.choice(f.member(place, "kind"), kPageKinds);
  const JsonPlace share = f.member(place, "huge_percent");
  const double percent = f.number(share);
  if (f.ok() && !(percent >= 0.0 && percent <= 100.0)) {
    f.fail(share, fmt::format("{} is not a share in percent (0 to 100)", share.value->dump()));
  }
}

// A valid run's score takes part in means and ratios: it must be a positive,
// finite rate brisk could have measured. An invalid run has none.
double run_score(JsonFields& f, const JsonPlace& run, bool valid) {
  const JsonPlace place = f.member(run, "score");
  if (!valid) {
    if (f.ok() && !f.is_null(place)) f.fail(place, "an invalid run's score must be null");
    return 0.0;
  }
  if (f.is_null(place)) {
    f.fail(place, "a valid run's score must be a number, not null");
    return 0.0;
  }
  const double score = f.number(place);
  if (f.ok() && !(std::isfinite(score) && score > 0.0 && score <= kMaxScore)) {
    f.fail(place, fmt::format("{} is not a valid run's score (above 0, at most {} MGups)",
                              place.value->dump(), kMaxScore));
  }
  return score;
}

// Files of older versions have no timeline; one that is there must be what
// a run of that duration could have recorded. Its threads' share is not read.
std::vector<double> run_timeline(JsonFields& f, const JsonPlace& run, std::uint32_t duration) {
  if (!f.ok() || !run.value->is_object() || !run.value->contains("timeline")) return {};
  const JsonPlace mgups = f.member(f.member(run, "timeline"), "mgups");
  const std::size_t count = f.array_size(mgups);
  if (count > duration) {
    f.fail(mgups, fmt::format("{} seconds in a run of {} s", count, duration));
    return {};
  }
  std::vector<double> rates(count);
  for (std::size_t i = 0; i < count && f.ok(); ++i) {
    const JsonPlace second = f.element(mgups, i);
    rates[i] = f.number(second);
    if (f.ok() && !(std::isfinite(rates[i]) && rates[i] >= 0.0 && rates[i] <= kMaxScore)) {
      f.fail(second, fmt::format("{} is not a rate of one second (0 to {} MGups)",
                                 second.value->dump(), kMaxScore));
    }
  }
  return rates;
}

// A figure of a run's conditions: null, or a number within [low, high].
std::optional<double> figure(JsonFields& f, const JsonPlace& place, double low, double high) {
  if (!f.ok() || f.is_null(place)) return std::nullopt;
  const double value = f.number(place);
  if (f.ok() && !(value >= low && value <= high)) {
    f.fail(place, fmt::format("{} is outside {}..{}", place.value->dump(), low, high));
  }
  if (!f.ok()) return std::nullopt;
  return value;
}

// Files written before the conditions were measured have none: every figure
// stays unknown.
RunConditions read_conditions(JsonFields& f, const JsonPlace& run) {
  RunConditions c;
  if (!f.ok() || !run.value || !run.value->is_object() || !run.value->contains("conditions")) {
    return c;
  }
  const JsonPlace place = f.member(run, "conditions");
  const auto percent = [&](std::string_view name) {
    return figure(f, f.member(place, name), 0.0, 100.0);
  };
  const auto mhz = [&](std::string_view name) {
    return figure(f, f.member(place, name), 0.0, 1e6);
  };
  c.other_load_percent = percent("other_load_percent");
  c.steal_percent = percent("steal_percent");
  c.on_processor_percent = percent("on_processor_percent");
  c.involuntary_switches = f.unsigned_or_null(f.member(place, "involuntary_context_switches"),
                                              std::numeric_limits<std::uint64_t>::max());
  c.major_faults = f.unsigned_or_null(f.member(place, "major_page_faults"),
                                      std::numeric_limits<std::uint64_t>::max());
  c.clock_start_mhz = mhz("clock_start_mhz");
  c.clock_end_mhz = mhz("clock_end_mhz");
  c.clock_limit_mhz = mhz("clock_limit_mhz");
  c.clock_max_mhz = mhz("clock_max_mhz");
  return c;
}

// The mean of the clock measured over a run's seconds. Files of older
// versions have none; where there is one it has a value or null for every
// second the timeline could hold, each a plausible clock.
std::optional<double> run_clock(JsonFields& f, const JsonPlace& run, std::uint32_t duration) {
  if (!f.ok() || !run.value->is_object() || !run.value->contains("timeline")) return {};
  const JsonPlace timeline = f.member(run, "timeline");
  if (!f.ok() || !timeline.value->is_object() || !timeline.value->contains("clock_mhz")) return {};
  const JsonPlace clocks = f.member(timeline, "clock_mhz");
  const std::size_t count = f.array_size(clocks);
  if (count > duration) {
    f.fail(clocks, fmt::format("{} seconds in a run of {} s", count, duration));
    return {};
  }
  std::vector<std::optional<double>> seconds(count);
  for (std::size_t i = 0; i < count && f.ok(); ++i) {
    seconds[i] = figure(f, f.element(clocks, i), kMinPlausibleMhz, kMaxPlausibleMhz);
  }
  if (!f.ok()) return {};
  return mean_clock(seconds);
}

void read_runs(JsonFields& f, const JsonPlace& root, ResultsDocument& out) {
  const JsonPlace runs = f.member(root, "runs");
  const std::size_t count = f.array_size(runs);
  if (count > 0 && out.sweep.sub_runs == 0) {
    f.fail(runs, "runs of a sweep whose sub_runs is 0");
  }
  PointAssigner assigner(out.sweep.points);
  // No reserve: `count` is the file's word, and each run is checked first.
  for (std::size_t i = 0; i < count && f.ok(); ++i) {
    const JsonPlace run = f.element(runs, i);
    DocumentRun& entry = out.runs.emplace_back();
    const JsonPlace point = f.member(run, "point");
    const std::string label = f.text(point);
    const JsonPlace sub_run = f.member(run, "sub_run");
    entry.sub_run = static_cast<std::uint32_t>(f.unsigned_in(sub_run, 1, out.sweep.sub_runs));
    if (!f.ok()) break;
    if (auto failure = assigner.assign(label, entry.sub_run, entry.point_index)) {
      f.fail(point, *failure);
    }
    entry.valid = f.boolean(f.member(run, "valid"));
    read_run_settings(f, run, entry.valid, entry.settings);
    read_run_pages(f, run, entry.settings);
    entry.score = run_score(f, run, entry.valid);
    entry.timeline = run_timeline(f, run, entry.settings.duration);
    entry.conditions = read_conditions(f, run);
    entry.clock_mhz = run_clock(f, run, entry.settings.duration);
  }
}

std::optional<std::string> read_document(const Json& json, ResultsDocument& out) {
  JsonFields f;
  const JsonPlace root = f.root(json);
  if (f.ok()) read_schema(f, root);
  read_brisk(f, root, out);
  read_machine(f, root, out.machine);
  read_timers(f, root, out.timers);
  read_settings(f, root, out.settings);
  read_sweep(f, root, out.sweep);
  read_runs(f, root, out);
  return f.failure();
}

}  // namespace

std::optional<std::string> parse_results_document(std::string_view text, ResultsDocument& out) {
  try {
    out = ResultsDocument();
    Json json;
    // The quick parser takes well-formed documents; whatever it declines is
    // parsed again in full, by the parser that has the words for what is wrong.
    if (first_invalid_utf8(text) || !parse_json_pruned(text, json)) {
      if (auto failure = parse_json_kept(text, json)) return failure;
    }
    return read_document(json, out);
  } catch (const std::bad_alloc&) {
    return std::string("not enough memory to read the document");
  }
}

std::optional<std::string> load_results_file(const std::string& path, ResultsDocument& out) {
  std::optional<std::string> reason;
  try {
    std::string text;
    reason = read_file_bounded(path, kMaxResultsFileBytes, text);
    if (!reason && text.empty()) reason = "the file is empty";
    if (!reason) reason = parse_results_document(text, out);
  } catch (const std::bad_alloc&) {
    reason = "not enough memory to read the file";
  }
  if (!reason) return std::nullopt;
  return fmt::format("cannot read results file \"{}\": {}", console_safe(path), *reason);
}

}  // namespace brisk
