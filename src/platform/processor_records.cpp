#include "platform/processor_records.h"

#include <cstring>

namespace brisk {
namespace {

// The published layout of SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX: a 4-byte
// Relationship and a 4-byte Size, then the relationship's own structure.
// Offsets below are from the start of the record.
constexpr std::size_t kHeaderSize = 8;
constexpr std::uint32_t kRelationProcessorCore = 0;
constexpr std::uint32_t kRelationNumaNode = 1;
constexpr std::uint32_t kRelationCache = 2;

constexpr std::size_t kGroupAffinitySize = 16;  // Mask (8), Group (2), Reserved[3]

// PROCESSOR_RELATIONSHIP: Flags, EfficiencyClass, Reserved[20], GroupCount, GroupMask[].
constexpr std::size_t kCoreEfficiencyClass = kHeaderSize + 1;
constexpr std::size_t kCoreGroupCount = kHeaderSize + 22;
constexpr std::size_t kCoreGroupMasks = kHeaderSize + 24;
// NUMA_NODE_RELATIONSHIP: NodeNumber, Reserved[18], GroupCount, GroupMask (first).
constexpr std::size_t kNodeNumber = kHeaderSize;
constexpr std::size_t kNodeGroupMask = kHeaderSize + 24;
// CACHE_RELATIONSHIP: Level, Associativity, LineSize, CacheSize, Type,
// Reserved[18], GroupCount, GroupMask[].
constexpr std::size_t kCacheLevel = kHeaderSize;
constexpr std::size_t kCacheGroupCount = kHeaderSize + 30;
constexpr std::size_t kCacheGroupMasks = kHeaderSize + 32;

template <typename T>
T read_at(const std::byte* record, std::size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof(T));
  return value;
}

// Up to `count` group masks starting at `offset`, as many as fit in the record.
std::vector<GroupMask> read_masks(const std::byte* record, std::size_t size, std::size_t offset,
                                  std::size_t count) {
  std::vector<GroupMask> masks;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = offset + i * kGroupAffinitySize;
    if (at + kGroupAffinitySize > size) break;
    masks.push_back({read_at<std::uint64_t>(record, at), read_at<std::uint16_t>(record, at + 8)});
  }
  return masks;
}

}  // namespace

std::vector<ProcessorRecord> decode_processor_information(std::span<const std::byte> buffer) {
  std::vector<ProcessorRecord> records;
  std::size_t offset = 0;
  while (buffer.size() - offset >= kHeaderSize) {
    const std::byte* record = buffer.data() + offset;
    const auto relationship = read_at<std::uint32_t>(record, 0);
    const std::size_t size = read_at<std::uint32_t>(record, 4);
    // A record that claims to be smaller than its header or to run past the
    // buffer would make the walk loop or read out of bounds.
    if (size < kHeaderSize || size > buffer.size() - offset) break;
    ProcessorRecord r;
    if (relationship == kRelationProcessorCore && size >= kCoreGroupMasks) {
      r.kind = RecordKind::core;
      r.efficiency_class = read_at<std::uint8_t>(record, kCoreEfficiencyClass);
      r.masks = read_masks(record, size, kCoreGroupMasks,
                           read_at<std::uint16_t>(record, kCoreGroupCount));
      records.push_back(std::move(r));
    } else if (relationship == kRelationNumaNode && size >= kNodeGroupMask) {
      r.kind = RecordKind::numa_node;
      r.node_number = read_at<std::uint32_t>(record, kNodeNumber);
      r.masks = read_masks(record, size, kNodeGroupMask, 1);
      records.push_back(std::move(r));
    } else if (relationship == kRelationCache && size >= kCacheGroupMasks) {
      r.kind = RecordKind::cache;
      r.cache_level = read_at<std::uint8_t>(record, kCacheLevel);
      // Windows versions before GroupCount existed left the field zero and
      // always wrote exactly one mask.
      std::size_t count = read_at<std::uint16_t>(record, kCacheGroupCount);
      if (count == 0) count = 1;
      r.masks = read_masks(record, size, kCacheGroupMasks, count);
      records.push_back(std::move(r));
    }
    offset += size;
  }
  return records;
}

}  // namespace brisk
