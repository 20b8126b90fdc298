#include "history/standing.h"

#include <fmt/format.h>

#include <algorithm>
#include <new>
#include <optional>

#include "compare/comparison.h"
#include "compare/stable_context.h"
#include "results/console_text.h"

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

// A summarized point as the comparison sees one side.
PointSide side_of(const PointSummary& point) {
  PointSide side;
  side.scores = point.scores;
  side.runs = static_cast<std::uint32_t>(std::max<std::size_t>(point.scores.size(), 1));
  side.average = point.average;
  side.settings = point.settings;
  return side;
}

std::vector<std::string> point_lines(const PointSummary& now, const HistoryStore& store,
                                     const std::string& own_file, const std::string& key) {
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
                                display_time(previous.entry->start_time),
                                console_safe(previous.entry->id), prev_average));
  } else {
    // The index holds the previous point's scores: the verdict is the one
    // brisk compare gives, without reading that document again.
    const PointComparison row =
        compare_points(side_of(*previous.point), side_of(now), kDefaultThresholdPercent);
    lines.push_back(fmt::format(
        "history: previous {} (id {}): {:.2f} MGups, now {:.2f}: {:+.2f}%, {}",
        display_time(previous.entry->start_time), console_safe(previous.entry->id), prev_average,
        *now.average, row.delta_percent.value_or(0.0), verdict_name(row.verdict)));
  }
  if (best.entry != previous.entry) {
    const double best_average = *best.point->average;
    std::string now_text = "now no valid run";
    if (now.average)
      now_text = fmt::format("now {:+.2f}%", (*now.average / best_average - 1.0) * 100.0);
    lines.push_back(fmt::format("history: best {} (id {}): {:.2f} MGups, {}",
                                display_time(best.entry->start_time), console_safe(best.entry->id),
                                best_average, now_text));
  }
  return lines;
}

}  // namespace

std::vector<std::string> standing_lines(const ResultsDocument& current, const HistoryStore& store,
                                        const std::string& own_file) {
  try {
    const std::string key = machine_key(current);
    const std::vector<PointSummary> points = summarize_points(current);
    const bool prefixed = points.size() > 1;
    std::vector<std::string> lines;
    bool any = false;
    for (const PointSummary& now : points) {
      std::vector<std::string> mine = point_lines(now, store, own_file, key);
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
