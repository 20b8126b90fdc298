// The comparison as GitHub-flavoured Markdown, to paste into a forum post or
// a pull request: the files and what differs between them, then one table of
// every matched point with its change, interval and verdict.
#pragma once

#include <string>

#include "compare/comparison.h"

namespace brisk {

// A few header lines and one table; file names, labels and context values are
// escaped with markdown_text, so none of them can break the table or add markup,
// and file names first with console_safe, so a pasted table shows them as the
// console does and carries no control byte.
std::string render_comparison_markdown(const Comparison& comparison);

}  // namespace brisk
