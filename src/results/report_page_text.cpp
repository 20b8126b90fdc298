#include "results/report_page_text.h"

#include "report/html_report.h"
#include "report/report_page.h"

namespace brisk {
namespace {

std::size_t fixed_size(std::span<const std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  return size;
}

}  // namespace

// Every part of the document begins and ends outside a string (at a bracket,
// a comma or a line break), so making each safe on its own gives the same
// bytes as making the whole document safe at once.
void ReportPageText::update(const ResultsText& text) {
  const auto [head, runs, tail] = text.pieces();
  if (epoch_ != text.epoch() + 1 || runs.size() < runs_source_bytes_) {
    head_.clear();
    append_script_safe(head_, head);
    runs_.clear();
    runs_source_bytes_ = 0;
    epoch_ = text.epoch() + 1;
  }
  append_script_safe(runs_, runs.substr(runs_source_bytes_));
  runs_source_bytes_ = runs.size();
  tail_.clear();
  append_script_safe(tail_, tail);
}

std::size_t ReportPageText::stable_bytes() const {
  return fixed_size(report_page_before_data()) + head_.size() + runs_.size();
}

std::vector<std::string_view> ReportPageText::pieces() const {
  std::vector<std::string_view> pieces;
  for (const std::string_view piece : report_page_before_data()) pieces.push_back(piece);
  pieces.push_back(head_);
  pieces.push_back(runs_);
  pieces.push_back(tail_);
  for (const std::string_view piece : report_page_after_data()) pieces.push_back(piece);
  return pieces;
}

}  // namespace brisk
