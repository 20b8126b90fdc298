// Threading managers: thread plans built from the Topology and the binding of
// a benchmark thread to its plan entry.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/topology.h"

namespace brisk {

struct ThreadingManager {
  std::uint32_t thread_count = 0;
  std::vector<LogicalProcessor> plan;  // entry k is the processor of thread k

  // Binds the calling thread to plan entry `thread_index`; nothing happens when
  // the index has no entry or the OS refuses.
  void place_current_thread(std::uint32_t thread_index) const;
};

// Plan for "numa": first hardware threads of every core before second ones.
std::vector<LogicalProcessor> build_numa_plan(const Topology& topology);
// Plan for "phte": the most performant core kind completely first.
std::vector<LogicalProcessor> build_phte_plan(const Topology& topology);

}  // namespace brisk
