#include "results/results_summary.h"

namespace brisk {

std::vector<SummaryRow> summarize(const ResultsRecord& record) {
  std::vector<SummaryRow> rows(record.sweep.points.size());
  for (std::size_t p = 0; p < rows.size(); ++p) rows[p].point = record.sweep.points[p];
  for (const RunRecord& run : record.runs) {
    if (run.point_index >= rows.size()) continue;
    SummaryRow& row = rows[run.point_index];
    row.outcomes.push_back(&run.outcome);
    row.statistics.add(run.outcome);
  }
  return rows;
}

}  // namespace brisk
