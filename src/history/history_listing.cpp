#include "history/history_listing.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "results/console_text.h"
#include "results/csv_writer.h"

namespace brisk {
namespace {

// Up to this many points a sweep's scores are listed one by one; a longer
// sweep (a threads sweep of a server has hundreds) gets one short line.
constexpr std::size_t kListedPoints = 6;

// "sweep threads 1 to 383, 383 points, best 5123.40 MGups at 192": the point
// of the highest average, the first of equals.
std::string long_sweep_text(const HistoryEntry& entry) {
  const PointSummary* best = nullptr;
  for (const PointSummary& point : entry.points) {
    if (point.average && (!best || *point.average > *best->average)) best = &point;
  }
  const std::string best_text =
      best ? fmt::format("best {:.2f} MGups at {}", *best->average, console_safe(best->label))
           : std::string("no valid run");
  return fmt::format("sweep {} {} to {}, {} points, {}", entry.sweep_variable,
                     console_safe(entry.points.front().label),
                     console_safe(entry.points.back().label), entry.points.size(), best_text);
}

std::string score_text(const HistoryEntry& entry) {
  if (entry.points.empty()) return "no run";
  if (entry.points.size() == 1 && entry.sweep_variable == "none") {
    const auto& average = entry.points.front().average;
    return average ? fmt::format("{:.2f} MGups", *average) : "no valid run";
  }
  if (entry.points.size() > kListedPoints) return long_sweep_text(entry);
  std::string text = fmt::format("sweep {}:", entry.sweep_variable);
  for (const PointSummary& point : entry.points) {
    text += fmt::format(" {}={}", point.label,
                        point.average ? fmt::format("{:.2f}", *point.average) : "---");
  }
  return text + " MGups";
}

// Processor brands come padded with blanks.
std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string config_text(const BenchConfig& config) {
  const std::string threads =
      config.numthreads == 0 ? std::string("auto") : std::to_string(config.numthreads);
  return fmt::format("threads {}, size {}, {} s, {}, {}{}", threads, config.size, config.duration,
                     config.isa, config.workload, config.large_pages ? ", large pages" : "");
}

std::vector<const HistoryEntry*> select_entries(const HistoryStore& store,
                                                const ListingRequest& request) {
  std::vector<const HistoryEntry*> selected;
  for (const HistoryEntry& entry : store.entries()) {
    if (entry.skipped) continue;
    // Invocations that made no run are no longer saved; older ones that were
    // stay in the folder, out of sight.
    if (entry.points.empty()) continue;
    if (!request.all_machines && entry.machine_key != request.machine_key) continue;
    if (request.limit != 0 && selected.size() == request.limit) break;
    selected.push_back(&entry);
  }
  return selected;
}

std::vector<std::string> listing_lines(const HistoryStore& store,
                                       const std::vector<const HistoryEntry*>& selected,
                                       const ListingRequest& request) {
  std::vector<std::string> lines;
  lines.push_back(fmt::format("saved results {}in \"{}\", newest first: {} shown",
                              request.all_machines ? "of every machine " : "of this machine ",
                              store.folder(), selected.size()));
  for (const HistoryEntry* entry : selected) {
    lines.push_back(fmt::format("{}  {}  {}  {}  {}{}{}", console_safe(entry->id),
                                display_time(entry->start_time), trimmed(entry->cpu_brand),
                                config_text(entry->settings), score_text(*entry),
                                entry->finished ? "" : "  (unfinished)",
                                entry->mark ? fmt::format("  ({})", *entry->mark) : ""));
  }
  for (const HistoryEntry& entry : store.entries()) {
    if (entry.skipped) {
      lines.push_back(fmt::format("skipped {}: {}", console_safe(entry.file_name),
                                  console_safe(*entry.skipped)));
    }
  }
  return lines;
}

std::string render_history_csv(const std::vector<const HistoryEntry*>& selected) {
  std::string text =
      "id,file,start_time,finished,cpu_brand,machine_key,sweep_variable,point,threads,size,"
      "duration,isa,workload,threading,large_pages,pages,valid_runs,average_mgups\r\n";
  for (const HistoryEntry* entry : selected) {
    for (const PointSummary& point : entry->points) {
      const RunSettings& s = point.settings;
      text += fmt::format(
          "{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{},{}\r\n", csv_field(entry->id),
          csv_field(entry->file_name), csv_field(entry->start_time), entry->finished,
          csv_foreign_text(entry->cpu_brand), csv_field(entry->machine_key),
          csv_field(entry->sweep_variable), csv_foreign_text(point.label), s.threads, s.size,
          s.duration, csv_field(s.isa), csv_field(s.workload), csv_field(s.threading),
          s.large_pages, csv_field(s.pages), point.scores.size(),
          point.average ? fmt::format("{:.2f}", *point.average) : "");
    }
  }
  return text;
}

std::string render_history_json(const std::vector<const HistoryEntry*>& selected) {
  nlohmann::json runs = nlohmann::json::array();
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    const HistoryEntry& entry = **it;
    for (const PointSummary& point : entry.points) {
      if (!point.average) continue;
      runs.push_back({{"id", entry.id},
                      {"time", entry.start_time},
                      {"machine", entry.machine_key},
                      {"cpu", entry.cpu_brand},
                      {"settings", settings_text(point.settings)},
                      {"sweep", entry.sweep_variable},
                      {"point", point.label},
                      {"average", *point.average},
                      {"finished", entry.finished}});
    }
  }
  return runs.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace brisk
