// The trend page around its data; the fixed text is generated (embed_page.cmake)
// into history_page.cpp in the build folder, hence this file's other name.
#include "report/history_page.h"
#include "report/html_report.h"

namespace brisk {

std::string render_history_page(std::string_view history_json) {
  return render_page_with_data(history_page_before_data(), history_json, history_page_after_data());
}

}  // namespace brisk
