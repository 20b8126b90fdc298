// The failure text of a thread whose grid, compared bit for bit after its
// timed loop, was not in the exact state its workload must be in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/threading.h"
#include "solver/grid_mismatch.h"

namespace brisk {

// "logical processor 5", "logical processor 3 of group 1", or "an unknown
// processor" when nobody could say.
std::string processor_label(const std::optional<ProcessorNumber>& processor);

// "\ngrid verification failure in thread 0 on logical processor 1", then the
// count of wrong values, the first one's place and its expected and found
// values, one per line.
std::string state_failure_text(std::uint32_t thread_index,
                               const std::optional<ProcessorNumber>& processor,
                               const GridMismatch& mismatch);

}  // namespace brisk
