// The HTML page of brisk compare: one self-contained file (dygraphs, script
// and style inlined) that draws the machines side by side, the comparison
// table and its charts from the comparison JSON embedded in it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace brisk {

// The whole page for one comparison JSON document (render_comparison_json),
// embedded once with the report's escaping (append_script_safe), so no text
// in it can end or disturb the script element that holds it.
std::string render_comparison_page(std::string_view comparison_json);

// The page's fixed text, generated at build time by embed_page.cmake from
// compare.html, compare.css and compare.js: everything before the JSON and
// everything after it, in pieces to be written in order.
std::span<const std::string_view> comparison_page_before_data();
std::span<const std::string_view> comparison_page_after_data();

}  // namespace brisk
