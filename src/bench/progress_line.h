// The reporter's live progress line.
#pragma once

#include <cstdint>
#include <ostream>

#include "bench/progress_board.h"

namespace brisk {

// Writes "\rbenchmarking... s/ds <sum of MGups> MGups  <largest iteration
// count> iterations" to `out` and flushes, without a newline, so each call
// overwrites the previous line. Allocates nothing: it runs inside the timed
// loop. The caller holds the console mutex.
void print_progress(std::int64_t elapsed_s, std::uint32_t duration, const ProgressBoard& board,
                    std::ostream& out);
// The same on standard output.
void print_progress(std::int64_t elapsed_s, std::uint32_t duration, const ProgressBoard& board);

}  // namespace brisk
