#include "history/standing.h"

#include <fmt/format.h>

#include <new>
#include <optional>

#include "compare/comparison.h"
#include "compare/results_reader.h"
#include "compare/stable_context.h"

namespace brisk {
namespace {

constexpr const char* kNothingComparable =
    "history: nothing comparable saved yet for this machine and these settings";

struct Match {
  const HistoryEntry* entry = nullptr;
  const PointSummary* point = nullptr;
};

const PointSummary* comparable_point(const HistoryEntry& entry, const PointSummary& now) {
  const PointSummary* fallback = nullptr;
  for (const PointSummary& point : entry.points) {
    if (!point.average || !same_run_settings(now.settings, point.settings)) continue;
    if (point.label == now.label) return &point;
    if (!fallback) fallback = &point;
  }
  return fallback;
}

bool is_own(const HistoryStore& store, const HistoryEntry& entry, const std::string& own_file) {
  return !own_file.empty() && (entry.file_name == own_file || store.path_of(entry) == own_file);
}

// "no change", "faster", ... as brisk compare words the two points.
std::string verdict_against(const HistoryStore& store, const Match& previous,
                            const ResultsDocument& current, const PointSummary& now,
                            std::optional<double>& delta) {
  ResultsDocument old_document;
  if (load_results_file(store.path_of(*previous.entry), old_document)) return "unclear";
  const std::size_t old_index = previous.point->index;
  if (old_index >= old_document.sweep.points.size()) return "unclear";
  std::vector<ComparedFile> files(2);
  files[0].document = single_point_document(old_document, old_index, now.label);
  files[1].document = single_point_document(current, now.index, now.label);
  const Comparison comparison = compare_files(std::move(files), kDefaultThresholdPercent);
  if (comparison.rows.empty()) return "unclear";
  delta = comparison.rows.front().delta_percent;
  return std::string(verdict_name(comparison.rows.front().verdict));
}

std::vector<std::string> point_lines(const ResultsDocument& current, const PointSummary& now,
                                     const HistoryStore& store, const std::string& own_file,
                                     const std::string& key) {
  Match previous;
  Match best;
  for (const HistoryEntry& entry : store.entries()) {
    if (entry.skipped || entry.machine_key != key || is_own(store, entry, own_file)) continue;
    const PointSummary* point = comparable_point(entry, now);
    if (!point) continue;
    if (!previous.entry) previous = {&entry, point};
    if (!best.entry || *point->average > *best.point->average) best = {&entry, point};
  }
  if (!previous.entry) return {};
  std::vector<std::string> lines;
  const double prev_average = *previous.point->average;
  if (!now.average) {
    lines.push_back(fmt::format("history: previous {} (id {}): {:.2f} MGups, now no valid run",
                                display_time(previous.entry->start_time), previous.entry->id,
                                prev_average));
  } else {
    std::optional<double> delta = (*now.average / prev_average - 1.0) * 100.0;
    const std::string verdict = verdict_against(store, previous, current, now, delta);
    lines.push_back(
        fmt::format("history: previous {} (id {}): {:.2f} MGups, now {:.2f}: {:+.2f}%, {}",
                    display_time(previous.entry->start_time), previous.entry->id, prev_average,
                    *now.average, delta.value_or(0.0), verdict));
  }
  if (best.entry != previous.entry) {
    const double best_average = *best.point->average;
    std::string now_text = "now no valid run";
    if (now.average)
      now_text = fmt::format("now {:+.2f}%", (*now.average / best_average - 1.0) * 100.0);
    lines.push_back(fmt::format("history: best {} (id {}): {:.2f} MGups, {}",
                                display_time(best.entry->start_time), best.entry->id, best_average,
                                now_text));
  }
  return lines;
}

}  // namespace

ResultsDocument single_point_document(const ResultsDocument& document, std::size_t point_index,
                                      const std::string& label) {
  ResultsDocument single = document;
  single.sweep.variable = "none";
  single.sweep.points = {label};
  single.runs.clear();
  for (const DocumentRun& run : document.runs) {
    if (run.point_index != point_index) continue;
    single.runs.push_back(run);
    single.runs.back().point_index = 0;
  }
  return single;
}

std::vector<std::string> standing_lines(const ResultsDocument& current, const HistoryStore& store,
                                        const std::string& own_file) {
  try {
    const std::string key = machine_key(current);
    const std::vector<PointSummary> points = summarize_points(current);
    const bool prefixed = points.size() > 1;
    std::vector<std::string> lines;
    bool any = false;
    for (const PointSummary& now : points) {
      std::vector<std::string> mine = point_lines(current, now, store, own_file, key);
      if (mine.empty())
        mine.push_back(kNothingComparable);
      else
        any = true;
      for (std::string& line : mine) lines.push_back(prefixed ? now.label + ": " + line : line);
    }
    if (!any) return {kNothingComparable};
    return lines;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace brisk
