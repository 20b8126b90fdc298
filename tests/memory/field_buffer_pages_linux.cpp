// Field blocks as the Linux kernel sees them: the advice each block got, and
// that a transparent-huge-page block is a mapping of its own, so what smaps
// says of it is about that block alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "memory/field_buffer.h"
#include "memory/field_pages.h"
#include "memory/memory_info.h"
#include "memory/memory_os.h"
#include "memory/memory_smaps.h"

namespace brisk {
namespace {

std::vector<SmapsMapping> own_mappings() {
  std::ifstream file("/proc/self/smaps");
  std::ostringstream text;
  text << file.rdbuf();
  return parse_smaps(text.str());
}

std::uint64_t address(const FieldBuffer& buffer) {
  return reinterpret_cast<std::uintptr_t>(buffer.data());
}

bool has_flag(const SmapsMapping& mapping, const std::string& flag) {
  for (const std::string& f : mapping.vm_flags) {
    if (f == flag) return true;
  }
  return false;
}

// Whatever the system's mode, "always" included: the block is advised away
// from huge pages before the fill touches it, and none comes after it.
TEST(FieldBufferPages, OrdinaryBlocksAreAdvisedAwayFromHugePages) {
  PageTally tally;
  const FieldAllocator allocator{false, &tally};
  const FieldBuffer buffer(std::uint64_t{3} << 18, allocator);  // 24 MiB: room for huge pages
  ASSERT_NE(buffer.data(), nullptr);
  EXPECT_EQ(buffer.page_kind(), PageKind::ordinary);
  const std::vector<SmapsMapping> mappings = own_mappings();
  const std::optional<SmapsMapping> mapping = mapping_at(mappings, address(buffer));
  ASSERT_TRUE(mapping.has_value());
  if (transparent_huge_pages_mode()) {
    EXPECT_TRUE(has_flag(*mapping, "nh"));
  }
  EXPECT_EQ(huge_bytes_in_range(mappings, address(buffer), address(buffer) + (24u << 20)), 0u);
  ASSERT_TRUE(tally.total().has_value());
  EXPECT_EQ(tally.total()->huge_percent(), 0.0);
}

// Blocks one after the other: each is exactly its own mapping (the guard
// pages keep the kernel from merging them), advised MADV_HUGEPAGE, and the
// tally holds what smaps says of the two.
TEST(FieldBufferPages, TransparentBlocksAreMappingsOfTheirOwn) {
  PageTally tally;
  const FieldAllocator allocator{true, &tally};
  std::vector<FieldBuffer> blocks;
  for (int i = 0; i < 8; ++i) blocks.emplace_back(std::uint64_t{1} << 17, allocator);  // 4 MiB
  const FieldBuffer& first = blocks.front();
  if (first.data() == nullptr || first.page_kind() != PageKind::transparent) {
    // Without a pool, transparent huge pages are the only way; with them
    // off, no block at all.
    EXPECT_TRUE(first.data() != nullptr || !memory_os::transparent_pages_usable());
    GTEST_SKIP() << "the blocks come from a hugetlb pool, or transparent huge pages are off";
  }

  const std::uint64_t page = large_page_size();
  const std::uint64_t bytes = ((std::uint64_t{4} << 20) + page - 1) / page * page;
  const std::vector<SmapsMapping> mappings = own_mappings();
  std::uint64_t huge = 0;
  for (const FieldBuffer& buffer : blocks) {
    ASSERT_NE(buffer.data(), nullptr);
    EXPECT_EQ(address(buffer) % page, 0u);
    const std::optional<SmapsMapping> mapping = mapping_at(mappings, address(buffer));
    ASSERT_TRUE(mapping.has_value());
    EXPECT_EQ(mapping->begin, address(buffer));
    EXPECT_EQ(mapping->end, address(buffer) + bytes);
    EXPECT_TRUE(has_flag(*mapping, "hg"));
    huge += mapping->anon_huge_bytes;
  }
  const std::optional<FieldPages> total = tally.total();
  ASSERT_TRUE(total.has_value());
  EXPECT_EQ(total->kind, PageKind::transparent);
  EXPECT_EQ(total->bytes, blocks.size() * bytes);
  // Read back after each fill; since then the kernel may only have added
  // huge pages (khugepaged), not taken any away from memory this fresh.
  EXPECT_LE(total->huge_bytes, huge);
}

}  // namespace
}  // namespace brisk
