#include "history/history_entry.h"

#include <fmt/format.h>

#include "compare/comparison.h"
#include "compare/stable_context.h"

namespace brisk {

namespace {

std::optional<std::string> entry_mark(const std::vector<PointSide>& sides) {
  for (const PointSide& side : sides) {
    if (side.noisy && side.noise_cause) return "noisy: " + *side.noise_cause;
  }
  for (const PointSide& side : sides) {
    for (const NumberedConditions& run : side.conditions) {
      const std::optional<double> other = run.conditions.other_load_percent;
      if (other && *other > kOtherLoadWarningPercent) {
        return fmt::format("busy: other programs used {:.1f}% of the processors during run {}",
                           *other, run.run);
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<PointSummary> summarize_points(const ResultsDocument& document) {
  const std::vector<PointSide> sides = point_sides(document);
  std::vector<PointSummary> points;
  for (std::size_t i = 0; i < sides.size(); ++i) {
    // Points never run yet say nothing about any score.
    if (sides[i].runs == 0) continue;
    points.push_back(
        {i, document.sweep.points[i], sides[i].settings, sides[i].scores, sides[i].average});
  }
  return points;
}

HistoryEntry summarize_document(const std::string& file_name, const ResultsDocument& document) {
  HistoryEntry entry;
  entry.file_name = file_name;
  entry.start_time = document.start_time;
  entry.cpu_brand = document.machine.cpu.brand;
  entry.machine_key = machine_key(document);
  entry.settings = document.settings;
  entry.sweep_variable = document.sweep.variable;
  entry.points = summarize_points(document);
  entry.finished = document.finished;
  entry.mark = entry_mark(point_sides(document));
  return entry;
}

std::optional<double> best_point_average(const HistoryEntry& entry) {
  std::optional<double> best;
  for (const PointSummary& point : entry.points) {
    if (point.average && (!best || *point.average > *best)) best = point.average;
  }
  return best;
}

std::string display_time(const std::string& iso_time) {
  // "YYYY-MM-DDTHH:MM:SSZ"
  if (iso_time.size() < 16 || iso_time[10] != 'T') return iso_time;
  return iso_time.substr(0, 10) + " " + iso_time.substr(11, 5) + " UTC";
}

std::string settings_text(const RunSettings& settings) {
  // Only large pages come in kinds worth naming; the kind is unknown in
  // files of brisks that did not record it.
  std::string pages;
  if (settings.large_pages) {
    pages = settings.pages.empty() ? ", large pages"
                                   : fmt::format(", large pages ({})", settings.pages);
  }
  return fmt::format("threads {}, size {}, {} s, {}, {}, {} threading{}", settings.threads,
                     settings.size, settings.duration, settings.isa, settings.workload,
                     settings.threading, pages);
}

}  // namespace brisk
