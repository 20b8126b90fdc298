#include "bench/thread_count.h"

#include <algorithm>
#include <limits>

#include "bench/bench_config.h"
#include "memory/memory_info.h"
#include "memory/memory_sizing.h"

namespace brisk {

std::uint32_t automatic_thread_count(std::uint32_t cores, std::uint64_t available_bytes,
                                     std::uint64_t bytes_per_thread) {
  if (cores == 0) return 1;
  if (bytes_per_thread == 0) return cores;
  // The field memory guard's own rule, so the count never asks for threads
  // whose fields the guard would then refuse. Held as 32 bits; a count above
  // that range saturates rather than wraps.
  const std::uint64_t fitting =
      threads_that_fit(available_bytes, bytes_per_thread, kFieldMemoryMargin);
  const auto fit = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(fitting, std::numeric_limits<std::uint32_t>::max()));
  return fit == 0 ? cores : std::min(cores, fit);
}

std::uint32_t automatic_thread_count(std::uint64_t size, TopologyHolder& topology) {
  const std::uint32_t cores = topology.get().core_count();
  if (cores == 0) return 1;
  return automatic_thread_count(cores, available_physical_memory(), memory_per_thread(size));
}

std::uint32_t clamp_duration(std::uint32_t duration) {
  return std::clamp(duration, kMinDuration, kMaxDuration);
}

}  // namespace brisk
