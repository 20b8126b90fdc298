#pragma once

#include <span>
#include <string>
#include <string_view>

namespace brisk {

// The whole HTML report of one results JSON document: a page with nothing to
// fetch (dygraphs, script and style inlined) whose script draws the header,
// the results table and the charts from the document, embedded once. The
// document is copied as is except that "</" becomes "<\/" and "<!--" becomes
// "\u003c!--" (both still the same JSON: "<" only occurs inside strings), so
// no text in it can end or disturb the script element that holds it.
std::string render_html_report(std::string_view json_document);

// A page made of its fixed text before and after the data block, with
// `json_document` between them, escaped as above.
std::string render_page_with_data(std::span<const std::string_view> before,
                                  std::string_view json_document,
                                  std::span<const std::string_view> after);

// Appends `json` to `page` with the two rewrites above: safe inside a
// <script type="application/json"> element, and still the same JSON.
void append_script_safe(std::string& page, std::string_view json);

}  // namespace brisk
