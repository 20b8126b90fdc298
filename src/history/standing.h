// Where a new score stands in the history of this machine: after the results
// table, the previous comparable result and the best one, per sweep point.
#pragma once

#include <string>
#include <vector>

#include "compare/results_document.h"
#include "history/history_store.h"

namespace brisk {

// The lines to print after the harness table. Comparable means: the same
// machine (machine_key) and the same run settings at the point
// (same_run_settings). `own_file` (the invocation's own file, as a name or a
// path) is left out. The verdict comes from compare_points at the default
// threshold, so it says what brisk compare would say.
std::vector<std::string> standing_lines(const ResultsDocument& current, const HistoryStore& store,
                                        const std::string& own_file);

}  // namespace brisk
