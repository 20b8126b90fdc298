// One round of the stability check on one logical processor: a thread of its
// own, bound to it, runs standing_wave for the duration and compares the
// whole grid with the exact state afterwards.
#pragma once

#include <cstdint>
#include <string_view>

#include "bench/run_seams.h"
#include "bench/stability.h"
#include "memory/field_allocator.h"

namespace brisk {

struct StabilityParams {
  const FieldAllocator& allocator;
  std::string_view isa;
  std::uint64_t size = 0;                // grid size N
  std::uint32_t duration = 1;            // seconds per processor and round
  RunSeams seams = default_run_seams();  // make_workload and measure_clock
};

// Never throws; a processor that cannot be used, or a workload that cannot be
// built, gives a round with a failure and no rate.
CoreRound run_core_round(const StabilityParams& params, const StabilityTarget& target);

}  // namespace brisk
