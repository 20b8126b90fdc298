#include "history/history_entry.h"

#include <fmt/format.h>

#include "compare/stable_context.h"

namespace brisk {

std::vector<PointSummary> summarize_points(const ResultsDocument& document) {
  std::vector<PointSummary> points(document.sweep.points.size());
  std::vector<bool> seen(points.size(), false);
  for (std::size_t i = 0; i < points.size(); ++i) {
    points[i].index = i;
    points[i].label = document.sweep.points[i];
  }
  for (const DocumentRun& run : document.runs) {
    if (run.point_index >= points.size()) continue;
    PointSummary& point = points[run.point_index];
    if (!seen[run.point_index]) {
      point.settings = run.settings;
      seen[run.point_index] = true;
    }
    if (run.valid) point.scores.push_back(run.score);
  }
  for (PointSummary& point : points) {
    double sum = 0.0;
    for (double score : point.scores) sum += score;
    if (!point.scores.empty() && sum > 0.0) {
      point.average = sum / static_cast<double>(point.scores.size());
    }
  }
  // Points never run yet say nothing about any score.
  std::erase_if(points, [](const PointSummary& p) {
    return p.settings.threads == 0 && p.scores.empty() && p.settings.isa.empty();
  });
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
  return fmt::format("threads {}, size {}, {} s, {}, {}, {} threading{}", settings.threads,
                     settings.size, settings.duration, settings.isa, settings.workload,
                     settings.threading, settings.large_pages ? ", large pages" : "");
}

}  // namespace brisk
