// The error and warning lines of one run: printed on standard error as they
// happen and kept, so the results files can say why a run was invalid in the
// very words the console showed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisk {

// Prints every line of `text` (lines end at '\n'; a final '\n' only ends the
// last line) on standard error, each ended and flushed, and appends each to
// `kept`. While workers run, callers hold the run's console lock, which also
// guards `kept`.
void report_error(std::vector<std::string>& kept, std::string_view text);

}  // namespace brisk
