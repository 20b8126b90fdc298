#include "results/results_text.h"

#include "results/json_writer.h"

namespace brisk {
void ResultsText::update(const ResultsRecord& record) {
  if (record.runs.size() < seen_runs_) {
    runs_.clear();
    seen_runs_ = 0;
    any_run_ = false;
    head_.clear();
  }
  std::string head = render_json_head(record);
  if (head != head_) {
    head_ = std::move(head);
    ++epoch_;
  }
  for (; seen_runs_ < record.runs.size(); ++seen_runs_) {
    const RunRecord& run = record.runs[seen_runs_];
    // Never the case for a sweep, whose points are known before its first
    // run; should it be, the run and those after it wait for its point.
    if (!is_written_run(record, run)) break;
    runs_ += render_json_run(record, run, !any_run_);
    any_run_ = true;
  }
  tail_ = render_json_tail(record, any_run_);
}

std::string joined(std::span<const std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view piece : pieces) text += piece;
  return text;
}

}  // namespace brisk
