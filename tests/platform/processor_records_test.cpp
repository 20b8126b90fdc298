#include "platform/processor_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace brisk {
namespace {

// Writes SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX records by their published
// layout, the way GetLogicalProcessorInformationEx fills its buffer.
class RecordBuffer {
 public:
  RecordBuffer& core(std::uint8_t efficiency, std::vector<GroupMask> masks) {
    std::vector<std::byte> r = header(0, 32 + 16 * masks.size());
    r[9] = std::byte{efficiency};
    put<std::uint16_t>(r, 30, static_cast<std::uint16_t>(masks.size()));
    put_masks(r, 32, masks);
    return append(r);
  }
  RecordBuffer& numa(std::uint32_t number, GroupMask mask) {
    std::vector<std::byte> r = header(1, 48);
    put<std::uint32_t>(r, 8, number);
    put_masks(r, 32, {mask});
    return append(r);
  }
  // group_count 0 is how older Windows versions (and Wine) write caches.
  RecordBuffer& cache(std::uint8_t level, std::vector<GroupMask> masks, std::uint16_t group_count) {
    std::vector<std::byte> r = header(2, 40 + 16 * masks.size());
    r[8] = std::byte{level};
    put<std::uint16_t>(r, 38, group_count);
    put_masks(r, 40, masks);
    return append(r);
  }
  RecordBuffer& other(std::uint32_t relationship, std::size_t size) {
    return append(header(relationship, size));
  }
  RecordBuffer& raw(std::vector<std::byte> bytes) { return append(bytes); }

  std::vector<ProcessorRecord> decode() const { return decode_processor_information(bytes_); }
  std::vector<std::byte>& bytes() { return bytes_; }

 private:
  template <typename T>
  static void put(std::vector<std::byte>& r, std::size_t at, T value) {
    std::memcpy(r.data() + at, &value, sizeof(T));
  }
  static std::vector<std::byte> header(std::uint32_t relationship, std::size_t size) {
    std::vector<std::byte> r(size);
    put<std::uint32_t>(r, 0, relationship);
    put<std::uint32_t>(r, 4, static_cast<std::uint32_t>(size));
    return r;
  }
  static void put_masks(std::vector<std::byte>& r, std::size_t at,
                        const std::vector<GroupMask>& masks) {
    for (const GroupMask& m : masks) {
      put<std::uint64_t>(r, at, m.mask);
      put<std::uint16_t>(r, at + 8, m.group);
      at += 16;
    }
  }
  RecordBuffer& append(const std::vector<std::byte>& r) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + r.size());
    std::memcpy(bytes_.data() + at, r.data(), r.size());
    return *this;
  }
  std::vector<std::byte> bytes_;
};

TEST(DecodeProcessorInformation, ReadsCoreNodeAndCacheFields) {
  RecordBuffer buffer;
  buffer
      .other(3, 48)  // package: skipped
      .core(1, {{0x3, 0}})
      .cache(3, {{0x3, 0}}, 1)
      .core(0, {{0x1, 1}, {0x8000000000000000, 2}})
      .numa(2, {0xF, 0})
      .other(4, 80);  // group: skipped
  const std::vector<ProcessorRecord> r = buffer.decode();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].kind, RecordKind::core);
  EXPECT_EQ(r[0].efficiency_class, 1);
  ASSERT_EQ(r[0].masks.size(), 1u);
  EXPECT_EQ(r[0].masks[0].mask, 0x3u);
  EXPECT_EQ(r[1].kind, RecordKind::cache);
  EXPECT_EQ(r[1].cache_level, 3);
  ASSERT_EQ(r[2].masks.size(), 2u);
  EXPECT_EQ(r[2].masks[1].mask, 0x8000000000000000u);
  EXPECT_EQ(r[2].masks[1].group, 2u);
  EXPECT_EQ(r[3].kind, RecordKind::numa_node);
  EXPECT_EQ(r[3].node_number, 2u);
  EXPECT_EQ(r[3].masks[0].mask, 0xFu);
}

TEST(DecodeProcessorInformation, CacheWithoutGroupCountHasItsOneMask) {
  RecordBuffer buffer;
  buffer.cache(3, {{0x3, 0}}, 0).cache(3, {{0x1, 0}, {0x1, 1}}, 2);
  const std::vector<ProcessorRecord> r = buffer.decode();
  ASSERT_EQ(r.size(), 2u);
  ASSERT_EQ(r[0].masks.size(), 1u);
  EXPECT_EQ(r[0].masks[0].mask, 0x3u);
  ASSERT_EQ(r[1].masks.size(), 2u);
  EXPECT_EQ(r[1].masks[1].group, 1u);
}

TEST(DecodeProcessorInformation, DecodedRecordsBuildTheTree) {
  RecordBuffer buffer;
  buffer.core(0, {{0x1, 0}}).cache(3, {{0x1, 0}}, 0).core(0, {{0x2, 0}}).cache(3, {{0x2, 0}}, 0);
  const Topology t = build_topology_from_records(buffer.decode());
  ASSERT_EQ(t.numa_nodes.size(), 1u);
  ASSERT_EQ(t.numa_nodes[0].llcs.size(), 2u);  // two caches, one core each
  EXPECT_EQ(t.numa_nodes[0].llcs[1].cores[0].logicals[0].os_index, 1u);
}

TEST(DecodeProcessorInformation, StopsAtARecordThatDoesNotFit) {
  RecordBuffer zero_size;
  zero_size.core(0, {{0x1, 0}}).raw(std::vector<std::byte>(8));  // Size 0 would loop forever
  EXPECT_EQ(zero_size.decode().size(), 1u);

  RecordBuffer too_long;
  too_long.core(0, {{0x1, 0}}).core(0, {{0x2, 0}});
  too_long.bytes().resize(too_long.bytes().size() - 1);  // last record cut short
  EXPECT_EQ(too_long.decode().size(), 1u);

  EXPECT_TRUE(decode_processor_information({}).empty());
}

TEST(DecodeProcessorInformation, GroupCountBeyondTheRecordReadsOnlyWhatIsThere) {
  RecordBuffer buffer;
  buffer.core(0, {{0x1, 0}});
  const std::uint16_t claimed = 5;
  std::memcpy(buffer.bytes().data() + 30, &claimed, sizeof claimed);
  const std::vector<ProcessorRecord> r = buffer.decode();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].masks.size(), 1u);
}

}  // namespace
}  // namespace brisk
