#include "platform/topology.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <utility>

#include "fmt/format.h"
#include "platform/processor_records.h"

namespace brisk {
namespace {

using ProcessorKey = std::pair<std::uint16_t, std::uint32_t>;  // (group, bit)
using ProcessorMap = std::map<ProcessorKey, std::uint32_t>;

template <typename Visit>
void for_each_processor(const GroupMask& m, Visit visit) {
  for (std::uint32_t bit = 0; bit < 64; ++bit) {
    if ((m.mask >> bit) & 1) visit(ProcessorKey{m.group, bit});
  }
}

std::uint32_t lookup(const ProcessorMap& map, const ProcessorKey& key) {
  const auto it = map.find(key);
  return it == map.end() ? 0 : it->second;
}

// Maps every logical processor to its NUMA node and its level-3 cache index.
// Only level-3 records count towards the cache index, in listing order.
void map_nodes_and_caches(const std::vector<ProcessorRecord>& records, ProcessorMap& node_of,
                          ProcessorMap& cache_of) {
  std::uint32_t l3_index = 0;
  for (const ProcessorRecord& r : records) {
    if (r.kind == RecordKind::numa_node && !r.masks.empty()) {
      for_each_processor(r.masks.front(), [&](ProcessorKey k) { node_of[k] = r.node_number; });
    } else if (r.kind == RecordKind::cache && r.cache_level == 3) {
      for (const GroupMask& m : r.masks) {
        for_each_processor(m, [&](ProcessorKey k) { cache_of[k] = l3_index; });
      }
      ++l3_index;
    }
  }
}

}  // namespace

Topology build_topology_from_records(const std::vector<ProcessorRecord>& records) {
  ProcessorMap node_of, cache_of;
  map_nodes_and_caches(records, node_of, cache_of);

  // node -> cache -> core id -> core; the maps give the ascending order.
  std::map<std::uint32_t, std::map<std::uint32_t, std::map<std::uint32_t, Core>>> tree;
  std::vector<std::pair<Core*, std::uint8_t>> classes;  // each core's efficiency class
  std::uint32_t core_id = 0;
  for (const ProcessorRecord& r : records) {
    if (r.kind != RecordKind::core) continue;
    Core core;
    core.id = core_id++;
    for (const GroupMask& m : r.masks) {
      for_each_processor(m, [&](ProcessorKey k) {
        core.logicals.push_back(
            {static_cast<std::uint32_t>(core.logicals.size()), core.id, k.second, k.first});
      });
    }
    std::uint32_t node = 0, cache = 0;
    if (!core.logicals.empty()) {
      const LogicalProcessor& last = core.logicals.back();
      const LogicalProcessor& first = core.logicals.front();
      node = lookup(node_of, {last.group, last.os_index});
      cache = lookup(cache_of, {first.group, first.os_index});
    }
    const std::uint32_t id = core.id;
    Core& filed = tree[node][cache][id];
    filed = std::move(core);
    classes.emplace_back(&filed, r.efficiency_class);
  }

  // The highest efficiency class is the most performant kind: level 0.
  std::vector<std::uint8_t> distinct;
  for (const auto& c : classes) distinct.push_back(c.second);
  std::sort(distinct.begin(), distinct.end(), std::greater<>());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  for (auto& [core, efficiency] : classes) {
    core->perf_level = static_cast<std::uint32_t>(
        std::find(distinct.begin(), distinct.end(), efficiency) - distinct.begin());
  }

  Topology topology;
  topology.perf_level_count = static_cast<std::uint32_t>(distinct.size());
  for (auto& [node_id, caches] : tree) {
    NumaNode node{node_id, {}};
    for (auto& [cache_id, cores] : caches) {
      LastLevelCache llc{cache_id, {}};
      for (auto& [id, core] : cores) llc.cores.push_back(std::move(core));
      node.llcs.push_back(std::move(llc));
    }
    topology.numa_nodes.push_back(std::move(node));
  }
  return topology;
}

std::vector<std::string> topology_report_lines(const Topology& topology) {
  std::vector<std::string> lines;
  lines.push_back(fmt::format("perf_level_count={}", topology.perf_level_count));
  for (const NumaNode& node : topology.numa_nodes) {
    lines.push_back(fmt::format("numa node id={}", node.id));
    for (const LastLevelCache& llc : node.llcs) {
      lines.push_back(fmt::format("|--llc id={}", llc.id));
      for (const Core& core : llc.cores) {
        lines.push_back(fmt::format("|  |--core id={} perf_level={}", core.id, core.perf_level));
        for (const LogicalProcessor& lp : core.logicals) {
          lines.push_back(fmt::format("|  |  |--logical idx={} os={}", lp.idx, lp.os_index));
        }
      }
    }
  }
  return lines;
}

void Topology::print() const {
  for (const std::string& line : topology_report_lines(*this)) std::cout << line << std::endl;
}

std::uint32_t Topology::core_count() const {
  if (numa_nodes.empty()) return os_processor_count();
  std::uint32_t count = 0;
  for (const NumaNode& node : numa_nodes) {
    for (const LastLevelCache& llc : node.llcs)
      count += static_cast<std::uint32_t>(llc.cores.size());
  }
  return count;
}

Topology build_topology() { return build_topology_from_records(read_processor_records()); }

const Topology& TopologyHolder::get() {
  if (!topology_) topology_ = build_topology();
  return *topology_;
}

}  // namespace brisk
