#include "report/comparison_page.h"

#include "report/html_report.h"

namespace brisk {

std::string render_comparison_page(std::string_view comparison_json) {
  std::string page;
  std::size_t fixed = 0;
  for (const std::string_view piece : comparison_page_before_data()) fixed += piece.size();
  for (const std::string_view piece : comparison_page_after_data()) fixed += piece.size();
  // Room for a few escapes beyond the document itself.
  page.reserve(fixed + comparison_json.size() + comparison_json.size() / 8);
  for (const std::string_view piece : comparison_page_before_data()) page.append(piece);
  append_script_safe(page, comparison_json);
  for (const std::string_view piece : comparison_page_after_data()) page.append(piece);
  return page;
}

}  // namespace brisk
