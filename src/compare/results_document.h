// A results document as brisk compare and the history read it back: the
// stable parts of the record that wrote it and every run's verdict and score.
// The per-thread details and texts of the file are not kept; a comparison
// needs none of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_config.h"
#include "bench/run_outcome.h"
#include "results/results_record.h"

namespace brisk {

struct DocumentRun {
  std::size_t point_index = 0;  // into sweep.points; labels may repeat
  std::uint32_t sub_run = 1;
  RunSettings settings;  // what the run really used
  bool valid = false;
  double score = 0.0;  // MGups; finite and positive when valid, 0 otherwise
  // MGups of every whole second, summed over the threads; at most `duration`
  // entries, each finite and at least 0. Empty in files of older versions.
  std::vector<double> timeline;
  RunConditions conditions;  // all unknown in files written before they were measured
  // The mean of the clock brisk measured over the run's seconds, in MHz; none
  // in files of older versions and where it could not be measured.
  std::optional<double> clock_mhz;
};

struct ResultsDocument {
  BuildContext build;
  std::vector<std::string> command_line;
  std::string start_time;  // UTC, ISO 8601, as written
  std::optional<std::string> end_time;
  bool finished = false;  // false: a sweep that was stopped, or is still running
  MachineContext machine;
  TimerContext timers;
  BenchConfig settings;  // as the command line gave them
  SweepRecord sweep;
  std::vector<DocumentRun> runs;  // in the order performed
};

// The document that render_json(record) would hold, without writing it out.
ResultsDocument document_from_record(const ResultsRecord& record);

}  // namespace brisk
