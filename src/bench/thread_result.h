// What one benchmark thread hands back after a completed timed loop.
#pragma once

#include <cstdint>

namespace brisk {

struct ThreadResult {
  std::uint32_t thread_index = 0;
  std::int64_t coarse_ms = 0;    // timed loop measured with the coarse timer
  std::int64_t fast_us = 0;      // the same loop measured with the fast timer
  std::uint64_t iterations = 0;  // completed steps
  std::uint64_t updates = 0;     // updates_per_step() * iterations, wrapping
};

}  // namespace brisk
