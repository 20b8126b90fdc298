// The machine's processors as a tree: NUMA node, last-level cache, core,
// logical processor, with a performance level per core.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisk {

struct LogicalProcessor {
  std::uint32_t idx = 0;       // position within its core
  std::uint32_t core_id = 0;   // id of the owning core
  std::uint32_t os_index = 0;  // bit position within its processor group
  std::uint16_t group = 0;     // processor group
};

struct Core {
  std::uint32_t id = 0;          // position among all core records
  std::uint32_t perf_level = 0;  // 0 = most performant core kind
  std::vector<LogicalProcessor> logicals;
};

struct LastLevelCache {
  std::uint32_t id = 0;  // position among all level-3 cache records
  std::vector<Core> cores;
};

struct NumaNode {
  std::uint32_t id = 0;
  std::vector<LastLevelCache> llcs;
};

struct Topology {
  std::vector<NumaNode> numa_nodes;  // ascending by id
  std::uint32_t perf_level_count = 0;

  // Writes the tree to standard output.
  void print() const;
  // Number of cores; the OS processor count when the tree is empty.
  std::uint32_t core_count() const;
};

// The lines print() writes, without line ends.
std::vector<std::string> topology_report_lines(const Topology& topology);

// A new Topology read from the operating system (empty on failure).
Topology build_topology();

// The process-wide tree: built on the first get(), then kept.
class TopologyHolder {
 public:
  TopologyHolder() = default;
  // A holder that already holds `topology` (tests and tools).
  explicit TopologyHolder(Topology topology) : topology_(std::move(topology)) {}
  const Topology& get();

 private:
  std::optional<Topology> topology_;
};

}  // namespace brisk
