// Threading managers: thread plans built from the Topology and the binding of
// a benchmark thread to its plan entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/group_spread.h"
#include "platform/topology.h"

namespace brisk {

struct ThreadingManager {
  std::uint32_t thread_count = 0;
  std::vector<LogicalProcessor> plan;  // entry k is the processor of thread k
  // Without a plan, on a system that keeps threads in one processor group:
  // entry k is the group of thread k (see spread_over_groups).
  std::vector<GroupAffinity> group_spread;

  // Binds the calling thread to plan entry `thread_index`, or else to its
  // whole group of `group_spread`. A thread other than thread 0 whose index
  // has neither is given the processors the process started with; thread 0
  // (the run's own thread) keeps whatever binding it has. A refusal by the OS
  // leaves the thread where it was.
  void place_current_thread(std::uint32_t thread_index) const;
};

// Cores of one performance level grouped by (node, last-level cache): the k-th
// cache of every node in node order, then the (k+1)-th, and so on. Only cores
// with at least one logical processor; pointers into the Topology.
struct CoreGroups {
  std::vector<std::vector<const Core*>> groups;  // each non-empty
  std::uint64_t max_threads_per_core = 0;        // 0 when there are no groups
};
// The groups of the cores at `perf_level`.
CoreGroups collect_core_groups(const Topology& topology, std::uint32_t perf_level);
// Takes the i-th core of every group in turn (i = 0, 1, ...) and appends its
// j-th logical processor to bucket j, for every existing bucket j.
void distribute(std::vector<std::vector<const LogicalProcessor*>>& buckets,
                const CoreGroups& groups);

// Plan for "numa": first hardware threads of every core before second ones.
std::vector<LogicalProcessor> build_numa_plan(const Topology& topology);
// Plan for "phte": the most performant core kind completely first.
std::vector<LogicalProcessor> build_phte_plan(const Topology& topology);

// The manager of a run of `thread_count` threads: the "numa" or "phte" plan by
// that exact name; for any other name ("os") no plan, and the threads spread
// over the processor groups when `threads_stay_in_one_group` says the
// scheduler would not do it.
ThreadingManager make_threading_manager(std::string_view name, const Topology& topology,
                                        std::uint32_t thread_count, bool threads_stay_in_one_group);

// Binds the calling thread to logical processor `os_index` of processor group
// `group`; false when the OS refuses (the thread then stays where it was).
bool bind_current_thread(std::uint16_t group, std::uint32_t os_index);

// Lets the calling thread run on the processors of `mask` within processor
// group `group`; false when the OS refuses (the thread then stays where it was).
bool bind_current_thread_to_group(std::uint16_t group, std::uint64_t mask);

// True where the scheduler keeps a process's threads in one processor group
// unless each is given one (Windows); false where it spreads them over every
// processor by itself (Linux, whose "groups" are only a numbering).
bool threads_stay_in_one_group();

// Lets the calling thread run on every processor the process was allowed at
// start; false when the OS refuses. Needed where a new thread inherits its
// creator's binding (Linux); a no-op where it gets the process's (Windows).
bool unbind_current_thread();

// A logical processor as the system numbers it.
struct ProcessorNumber {
  std::uint16_t group = 0;
  std::uint32_t number = 0;  // position within the group
};
// Where the calling thread runs, or last ran, as the system says; none when it
// does not say.
std::optional<ProcessorNumber> current_processor();

}  // namespace brisk
