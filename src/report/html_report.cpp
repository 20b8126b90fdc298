#include "report/html_report.h"

#include "report/report_page.h"

namespace brisk {
namespace {

std::size_t total_size(std::span<const std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  return size;
}

}  // namespace

// The document inside <script type="application/json">: the element ends at
// the first "</script", and after "<!--" a "<script" would keep it from ending
// at its own end tag. Outside strings JSON has no "<", so both rewrites land
// in strings, where "\/" and "\u003c" read back as "/" and "<".
void append_script_safe(std::string& page, std::string_view json) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < json.size(); ++i) {
    if (json[i] != '<') continue;
    const std::string_view rest = json.substr(i);
    if (rest.starts_with("</")) {
      page.append(json, from, i - from).append("<\\/");
      from = i + 2;
      ++i;
    } else if (rest.starts_with("<!--")) {
      page.append(json, from, i - from).append("\\u003c");
      from = i + 1;
    }
  }
  page.append(json, from);
}

std::string render_page_with_data(std::span<const std::string_view> before,
                                  std::string_view json_document,
                                  std::span<const std::string_view> after) {
  std::string page;
  // Room for a few escapes beyond the document itself.
  page.reserve(total_size(before) + json_document.size() + json_document.size() / 8 +
               total_size(after));
  for (const std::string_view piece : before) page.append(piece);
  append_script_safe(page, json_document);
  for (const std::string_view piece : after) page.append(piece);
  return page;
}

std::string render_html_report(std::string_view json_document) {
  return render_page_with_data(report_page_before_data(), json_document, report_page_after_data());
}

}  // namespace brisk
