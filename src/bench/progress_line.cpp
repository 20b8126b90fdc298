#include "bench/progress_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <iostream>
#include <iterator>

namespace brisk {

void print_progress(std::int64_t elapsed_s, std::uint32_t duration, const ProgressBoard& board,
                    std::ostream& out) {
  double sum = 0.0;
  std::uint64_t top = 0;
  for (std::uint64_t i = 0; i < board.slot_count(); ++i) {
    const ProgressSlot& slot = board.slot(i);
    sum += slot.mgups.load(std::memory_order_relaxed);
    top = std::max(top, slot.iterations.load(std::memory_order_relaxed));
  }
  // A stack buffer keeps the timed loop free of heap allocations.
  fmt::memory_buffer line;
  fmt::format_to(std::back_inserter(line),
                 "\rbenchmarking... {}/{}s {:>16.4g} MGups  {} iterations", elapsed_s, duration,
                 sum, top);
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.flush();
}

void print_progress(std::int64_t elapsed_s, std::uint32_t duration, const ProgressBoard& board) {
  print_progress(elapsed_s, duration, board, std::cout);
}

}  // namespace brisk
