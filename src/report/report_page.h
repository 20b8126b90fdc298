#pragma once

#include <span>
#include <string_view>

namespace brisk {

// The report page's fixed text, generated at build time (embed_page.cmake):
// everything before the results JSON and everything after it, in pieces to be
// written in order.
std::span<const std::string_view> report_page_before_data();
std::span<const std::string_view> report_page_after_data();

}  // namespace brisk
