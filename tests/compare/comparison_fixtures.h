// Results documents built by hand for the comparison's tests: a sweep of
// labelled points, each with its sub-runs' scores (none for an invalid run).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "compare/comparison.h"

namespace brisk::testing {

struct PointRuns {
  std::string label;
  std::vector<std::optional<double>> scores;  // nullopt: an invalid run
};

inline RunSettings default_run_settings() {
  return RunSettings{.threads = 2,
                     .duration = 1,
                     .size = 64,
                     .threading = "os",
                     .workload = "standing_wave",
                     .isa = "sse2",
                     .large_pages = false,
                     .pages = "ordinary"};
}

inline ResultsDocument make_document(const std::string& variable,
                                     const std::vector<PointRuns>& points) {
  ResultsDocument doc;
  doc.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  doc.start_time = "2026-12-09T15:05:04Z";
  doc.finished = true;
  doc.machine.cpu = {
      "Oxide Virtual Turin-like Processor", "amd", 15, 17, 0, {"SSE2", "AVX2"}, true};
  doc.machine.topology = {1, 1, 2, 2};
  doc.machine.total_memory = 25769803776ull;
  doc.machine.available_memory = 23000000000ull;
  doc.machine.os.family = "linux";
  doc.machine.os.name = "Debian GNU/Linux 12 (bookworm)";
  doc.machine.os.version = "12";
  doc.timers = {"TSC", 1000000000, 250, true, false};
  doc.settings.duration = 1;
  doc.settings.size = 64;
  doc.sweep.variable = variable;
  for (std::size_t i = 0; i < points.size(); ++i) {
    doc.sweep.points.push_back(points[i].label);
    doc.sweep.sub_runs = static_cast<std::uint32_t>(points[i].scores.size());
    std::uint32_t sub_run = 1;
    for (const std::optional<double>& score : points[i].scores) {
      doc.runs.push_back(DocumentRun{.point_index = i,
                                     .sub_run = sub_run++,
                                     .settings = default_run_settings(),
                                     .valid = score.has_value(),
                                     .score = score.value_or(0.0)});
    }
  }
  return doc;
}

inline ComparedFile make_file(const std::string& name, ResultsDocument doc) {
  return ComparedFile{.name = name, .document = std::move(doc), .incomplete = false};
}

}  // namespace brisk::testing
