// Hand-made processor records; processors are numbered across groups as
// group * 64 + bit.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/processor_records.h"

namespace brisk::testing {

inline std::vector<GroupMask> masks(std::initializer_list<std::uint32_t> cpus) {
  std::vector<GroupMask> out;
  for (std::uint32_t cpu : cpus) {
    const auto group = static_cast<std::uint16_t>(cpu / 64);
    if (out.empty() || out.back().group != group) out.push_back({0, group});
    out.back().mask |= std::uint64_t{1} << (cpu % 64);
  }
  return out;
}

inline ProcessorRecord core(std::initializer_list<std::uint32_t> cpus,
                            std::uint8_t efficiency = 0) {
  ProcessorRecord r;
  r.kind = RecordKind::core;
  r.efficiency_class = efficiency;
  r.masks = masks(cpus);
  return r;
}

inline ProcessorRecord node(std::uint32_t number, std::initializer_list<std::uint32_t> cpus) {
  ProcessorRecord r;
  r.kind = RecordKind::numa_node;
  r.node_number = number;
  r.masks = masks(cpus);
  return r;
}

inline ProcessorRecord cache(std::uint8_t level, std::initializer_list<std::uint32_t> cpus) {
  ProcessorRecord r;
  r.kind = RecordKind::cache;
  r.cache_level = level;
  r.masks = masks(cpus);
  return r;
}

}  // namespace brisk::testing
