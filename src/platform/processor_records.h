// Processor relationship records, decoded from what the OS reports, and the
// pure tree building that works on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/topology.h"

namespace brisk {

// One processor group's affinity: bit b set names logical processor b of it.
struct GroupMask {
  std::uint64_t mask = 0;
  std::uint16_t group = 0;
};

enum class RecordKind : std::uint8_t { core, numa_node, cache };

struct ProcessorRecord {
  RecordKind kind = RecordKind::core;
  std::uint8_t efficiency_class = 0;  // core: higher means a more performant core kind
  std::uint32_t node_number = 0;      // numa_node: the OS's node number
  std::uint8_t cache_level = 0;       // cache: 1, 2, 3...
  std::vector<GroupMask> masks;       // numa_node: only the first one counts
};

// The tree of the records: cores filed under the node of their last logical
// processor and the level-3 cache of their first; empty without core records.
Topology build_topology_from_records(const std::vector<ProcessorRecord>& records);

// Decodes a GetLogicalProcessorInformationEx(RelationAll) buffer by the
// published layout. Relationships other than core, NUMA node and cache are
// skipped; decoding stops at a record that does not fit the buffer.
std::vector<ProcessorRecord> decode_processor_information(std::span<const std::byte> buffer);

// The OS's records (on Linux limited to the processors this process may
// use; on Windows every processor of the system); empty on failure.
std::vector<ProcessorRecord> read_processor_records();
// The OS's processor count (at least 1).
std::uint32_t os_processor_count();

}  // namespace brisk
