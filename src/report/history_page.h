// The trend page of brisk history --export-html: one self-contained file
// (dygraphs, script and style inlined) that draws each machine's and
// setting's score over time from the history JSON embedded in it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace brisk {

// The whole page for the history's data (render_history_json), embedded once
// with the report's escaping (append_script_safe).
std::string render_history_page(std::string_view history_json);

// The page's fixed text, generated at build time by embed_page.cmake from
// history.html, history.css and history.js.
std::span<const std::string_view> history_page_before_data();
std::span<const std::string_view> history_page_after_data();

}  // namespace brisk
