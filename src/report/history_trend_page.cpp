// The trend page around its data; the fixed text is generated (embed_page.cmake)
// into history_page.cpp in the build folder, hence this file's other name.
#include "report/history_page.h"

#include "report/html_report.h"

namespace brisk {

std::string render_history_page(std::string_view history_json) {
  std::string page;
  std::size_t fixed = 0;
  for (const std::string_view piece : history_page_before_data()) fixed += piece.size();
  for (const std::string_view piece : history_page_after_data()) fixed += piece.size();
  page.reserve(fixed + history_json.size() + history_json.size() / 8);
  for (const std::string_view piece : history_page_before_data()) page.append(piece);
  append_script_safe(page, history_json);
  for (const std::string_view piece : history_page_after_data()) page.append(piece);
  return page;
}

}  // namespace brisk
