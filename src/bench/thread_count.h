// How many benchmark threads a run uses when the user did not say.
#pragma once

#include <cstdint>

#include "platform/topology.h"

namespace brisk {

// One thread per core, but no more than the field memory guard admits fields
// of grid size `size` for (threads_that_fit: free physical memory less the
// guard's margin); 1 when no core is known. When the memory query fails (or
// not even one thread fits) the core count alone decides, and the threads'
// own allocations report what does not fit.
std::uint32_t automatic_thread_count(std::uint64_t size, TopologyHolder& topology);

// The same rule from its three inputs.
std::uint32_t automatic_thread_count(std::uint32_t cores, std::uint64_t available_bytes,
                                     std::uint64_t bytes_per_thread);

// The duration a run really uses: 0 becomes 1, anything above 1000 becomes 1000.
std::uint32_t clamp_duration(std::uint32_t duration);

}  // namespace brisk
