// The rows of the results table, taken from the record: what the console
// prints after the sweep, for any number of finished runs.
#pragma once

#include <string>
#include <vector>

#include "bench/score_statistics.h"
#include "results/results_record.h"

namespace brisk {

struct SummaryRow {
  std::string point;                        // the label
  std::vector<const RunOutcome*> outcomes;  // the point's finished runs, in order
  ScoreStatistics statistics;
};

// One row per sweep point, in order; the pointers refer into `record`.
std::vector<SummaryRow> summarize(const ResultsRecord& record);

}  // namespace brisk
