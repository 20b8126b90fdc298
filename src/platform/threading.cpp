#include "platform/threading.h"

#include <algorithm>

namespace brisk {
namespace {

using Buckets = std::vector<std::vector<const LogicalProcessor*>>;

void append_buckets(const Buckets& buckets, std::vector<LogicalProcessor>& plan) {
  for (const auto& bucket : buckets) {
    for (const LogicalProcessor* lp : bucket) plan.push_back(*lp);
  }
}

}  // namespace

CoreGroups collect_core_groups(const Topology& topology, std::uint32_t perf_level) {
  CoreGroups result;
  std::size_t max_caches = 0;
  for (const NumaNode& node : topology.numa_nodes)
    max_caches = std::max(max_caches, node.llcs.size());
  // Cache k of every node before cache k + 1 of any, so consecutive threads
  // land on different nodes and caches.
  for (std::size_t k = 0; k < max_caches; ++k) {
    for (const NumaNode& node : topology.numa_nodes) {
      if (k >= node.llcs.size()) continue;
      std::vector<const Core*> group;
      for (const Core& core : node.llcs[k].cores) {
        if (core.perf_level != perf_level || core.logicals.empty()) continue;
        group.push_back(&core);
        result.max_threads_per_core =
            std::max<std::uint64_t>(result.max_threads_per_core, core.logicals.size());
      }
      if (!group.empty()) result.groups.push_back(std::move(group));
    }
  }
  return result;
}

void distribute(Buckets& buckets, const CoreGroups& groups) {
  std::size_t largest = 0;
  for (const auto& group : groups.groups) largest = std::max(largest, group.size());
  for (std::size_t i = 0; i < largest; ++i) {
    for (const auto& group : groups.groups) {
      if (i >= group.size()) continue;
      const Core& core = *group[i];
      for (std::size_t j = 0; j < buckets.size() && j < core.logicals.size(); ++j) {
        buckets[j].push_back(&core.logicals[j]);
      }
    }
  }
}

std::vector<LogicalProcessor> build_phte_plan(const Topology& topology) {
  std::vector<LogicalProcessor> plan;
  if (topology.numa_nodes.empty()) return plan;
  for (std::uint32_t level = 0; level < topology.perf_level_count; ++level) {
    const CoreGroups groups = collect_core_groups(topology, level);
    Buckets buckets(groups.max_threads_per_core);
    distribute(buckets, groups);
    append_buckets(buckets, plan);
  }
  return plan;
}

std::vector<LogicalProcessor> build_numa_plan(const Topology& topology) {
  std::vector<LogicalProcessor> plan;
  if (topology.numa_nodes.empty()) return plan;
  std::vector<CoreGroups> levels;
  std::uint64_t bucket_count = 0;
  for (std::uint32_t level = 0; level < topology.perf_level_count; ++level) {
    levels.push_back(collect_core_groups(topology, level));
    bucket_count = std::max(bucket_count, levels.back().max_threads_per_core);
  }
  Buckets buckets(bucket_count);
  for (const CoreGroups& groups : levels) distribute(buckets, groups);
  append_buckets(buckets, plan);
  return plan;
}

ThreadingManager make_threading_manager(std::string_view name, const Topology& topology,
                                        std::uint32_t thread_count,
                                        bool threads_stay_in_one_group) {
  ThreadingManager manager;
  manager.thread_count = thread_count;
  if (name == "numa") {
    manager.plan = build_numa_plan(topology);
  } else if (name == "phte") {
    manager.plan = build_phte_plan(topology);
  } else if (threads_stay_in_one_group) {
    // Left to a scheduler that keeps them in one processor group, the threads
    // would share at most 64 processors of a larger machine.
    manager.group_spread = spread_over_groups(topology, thread_count);
  }
  return manager;
}

bool bind_current_thread(std::uint16_t group, std::uint32_t os_index) {
  if (os_index >= 64) return false;
  return bind_current_thread_to_group(group, std::uint64_t{1} << os_index);
}

void ThreadingManager::place_current_thread(std::uint32_t thread_index) const {
  if (thread_index >= plan.size()) {
    if (thread_index < group_spread.size()) {
      const GroupAffinity& target = group_spread[thread_index];
      bind_current_thread_to_group(target.group, target.mask);
      return;
    }
    // Thread 0 is the run's own thread, whose binding from an earlier run
    // stays; every other thread is new and may have inherited that binding.
    if (thread_index != 0) unbind_current_thread();
    return;
  }
  const LogicalProcessor& target = plan[thread_index];
  // A refusal leaves the thread to the scheduler, which is still a valid run.
  bind_current_thread(target.group, target.os_index);
}

}  // namespace brisk
