// Naming a results document on the command line: a file, or a saved result
// of the history ("last", "last~N", "best", or an id prefix).
#pragma once

#include <optional>
#include <string>

#include "compare/comparison.h"
#include "compare/results_document.h"
#include "history/history_store.h"

namespace brisk {

// Loads what `text` names into `out` (its name is `text`): an existing file
// first; otherwise "last" (the newest saved result of this machine), "last~N"
// (N before it), "best" (the highest average of this machine with the same
// settings as `other_side`, or of any settings when it is null) or an id
// prefix from brisk history. Names are looked up in `store` when given (one
// reading of the folder for several names), else in the default results
// folder. On failure returns the line for standard error.
std::optional<std::string> resolve_results_argument(const std::string& text,
                                                    const ResultsDocument* other_side,
                                                    ComparedFile& out,
                                                    const HistoryStore* store = nullptr);

}  // namespace brisk
