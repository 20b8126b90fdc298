#include "report/comparison_page.h"

#include "report/html_report.h"

namespace brisk {

std::string render_comparison_page(std::string_view comparison_json) {
  return render_page_with_data(comparison_page_before_data(), comparison_json,
                               comparison_page_after_data());
}

}  // namespace brisk
