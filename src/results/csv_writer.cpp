#include "results/csv_writer.h"

#include <fmt/format.h>

#include <optional>
#include <vector>

namespace brisk {
namespace {

constexpr std::string_view kHeader =
    "point,sub_run,valid,score,threads,threading,size,duration,workload,isa,large_pages,pages,"
    "huge_percent,reason,other_load_percent,steal_percent";

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

// A figure of the run's conditions to one decimal; empty where unknown.
std::string percent_field(const std::optional<double>& value) {
  return value ? fmt::format("{:.1f}", *value) : std::string();
}

}  // namespace

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string csv_foreign_text(std::string_view text) {
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
    return csv_field("'" + std::string(text));
  }
  return csv_field(text);
}

std::string render_csv(const ResultsRecord& record) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const RunRecord& run : record.runs) {
    if (run.point_index >= record.sweep.points.size()) continue;
    const RunOutcome& o = run.outcome;
    const RunSettings& s = o.settings;
    // The shortest text that reads back as the same double: full precision.
    const std::string score = o.valid ? fmt::format("{}", o.score) : std::string();
    // Empty, like the kind, when the run obtained no field memory.
    const std::string huge_percent =
        o.huge_percent && !s.pages.empty() ? fmt::format("{}", *o.huge_percent) : std::string();
    const std::vector<std::string> fields = {csv_field(record.sweep.points[run.point_index]),
                                             std::to_string(run.sub_run),
                                             o.valid ? "true" : "false",
                                             score,
                                             std::to_string(s.threads),
                                             csv_field(s.threading),
                                             std::to_string(s.size),
                                             std::to_string(s.duration),
                                             csv_field(s.workload),
                                             csv_field(s.isa),
                                             s.large_pages ? "true" : "false",
                                             csv_field(s.pages),
                                             huge_percent,
                                             csv_field(o.valid ? "" : joined(o.messages)),
                                             percent_field(o.conditions.other_load_percent),
                                             percent_field(o.conditions.steal_percent)};
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i != 0) out += ',';
      out += fields[i];
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace brisk
