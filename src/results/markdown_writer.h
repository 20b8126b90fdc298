// The record as GitHub-flavoured Markdown, ready to paste into a forum post:
// a few lines on the program, the processor, the settings and the timer, then
// the results table with the console table's rows, columns and cells.
#pragma once

#include <string>
#include <string_view>

#include "results/results_record.h"

namespace brisk {

// `text` with every character that Markdown or a table would read as markup
// within a line escaped by a backslash, and line ends turned into spaces.
std::string markdown_text(std::string_view text);

std::string render_markdown(const ResultsRecord& record);

}  // namespace brisk
