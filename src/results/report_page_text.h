// The report page of a sweep kept as text while the sweep goes on: the
// page's fixed text around the results document, whose parts are made safe
// for the page once, as they arrive (see ResultsText).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "results/results_text.h"

namespace brisk {

class ReportPageText {
 public:
  // Brings the page up to `text`, which was updated since the last call.
  void update(const ResultsText& text);

  // The page in order; together render_html_report of the document.
  std::vector<std::string_view> pieces() const;
  // As ResultsText's: the page's first stable_bytes() stay as long as the
  // document's epoch does.
  std::uint64_t epoch() const { return epoch_; }
  std::size_t stable_bytes() const;

 private:
  std::string head_;
  std::string runs_;
  std::string tail_;
  std::size_t runs_source_bytes_ = 0;  // of the document's runs, made safe so far
  std::uint64_t epoch_ = 0;            // the document's, plus one: 0 before the first update
};

}  // namespace brisk
