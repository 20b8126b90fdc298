#include "compare/results_document.h"

#include "bench/run_timeline.h"

namespace brisk {

ResultsDocument document_from_record(const ResultsRecord& record) {
  ResultsDocument document;
  document.build = record.build;
  document.command_line = record.command_line;
  document.start_time = record.start_time;
  document.end_time = record.end_time;
  document.finished = record.finished;
  document.machine = record.machine;
  document.timers = record.timers;
  document.settings = record.settings;
  document.sweep = record.sweep;
  for (const RunRecord& run : record.runs) {
    // The JSON writer leaves out a run whose point is not (yet) in the sweep.
    if (run.point_index >= record.sweep.points.size()) continue;
    const RunOutcome& outcome = run.outcome;
    document.runs.push_back(DocumentRun{run.point_index, run.sub_run, outcome.settings,
                                        outcome.valid, outcome.valid ? outcome.score : 0.0,
                                        outcome.timeline.mgups, outcome.conditions,
                                        mean_clock(outcome.timeline.clock_mhz)});
  }
  return document;
}

}  // namespace brisk
