// What the history keeps of one saved document: enough to list it, to find
// the runs comparable with a new one and to name it, without reading the
// document again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_config.h"
#include "bench/run_outcome.h"
#include "compare/results_document.h"

namespace brisk {

struct PointSummary {
  std::size_t index = 0;  // into the document's sweep.points
  std::string label;
  RunSettings settings;           // of the point's first run
  std::vector<double> scores;     // the valid sub-runs' scores, in order
  std::optional<double> average;  // mean of `scores`, as the harness table shows it
};

struct HistoryEntry {
  std::string file_name;  // in the results folder
  std::uint64_t size = 0;
  std::int64_t mtime_ns = 0;
  std::string id;  // short id (short_id of the file name)
  // Set when the file is not a readable brisk results document; the fields
  // below are then empty.
  std::optional<std::string> skipped;
  std::string start_time;  // as written, UTC ISO 8601
  std::string cpu_brand;
  std::string machine_key;
  BenchConfig settings;  // as the command line gave them
  std::string sweep_variable;
  std::vector<PointSummary> points;
  bool finished = false;
  // What the listing marks the entry with when its scores are not what the
  // machine can do: "noisy: <cause>" for a point whose spread is over
  // kNoisySpreadPercent, else "busy: other programs used ..." for a run past
  // kOtherLoadWarningPercent; none for a clean entry.
  std::optional<std::string> mark;
};

// The summary of a document read from `file_name`.
HistoryEntry summarize_document(const std::string& file_name, const ResultsDocument& document);

// The points of `document`, in sweep order, with their valid scores and
// averages.
std::vector<PointSummary> summarize_points(const ResultsDocument& document);

// The best average among the points, for ranking whole runs; none when no
// point has one.
std::optional<double> best_point_average(const HistoryEntry& entry);

// "2026-12-09 20:43 UTC" from "2026-12-09T20:43:05Z"; the text as it is when
// it has another shape.
std::string display_time(const std::string& iso_time);

// "threads 4, size 64, 1 s, avx2, standing_wave" of a point's run settings.
std::string settings_text(const RunSettings& settings);

}  // namespace brisk
