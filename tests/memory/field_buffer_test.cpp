// FieldBuffer: ownership, zero fill, alignment and the clean failures.
#include "memory/field_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "memory/field_allocator.h"
#include "memory/memory_info.h"
#include "memory/memory_sizing.h"
#include "memory/memory_stats.h"

namespace brisk {
namespace {

bool all_zero(const FieldBuffer& buffer) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
  for (std::uint64_t i = 0; i < buffer.count() * sizeof(FieldPoint); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

TEST(FieldBuffer, ZeroFilledAnd64ByteAligned) {
  const FieldAllocator heap{};
  for (std::uint64_t count : {1u, 3u, 1001u, 287'496u}) {
    const FieldBuffer buffer(count, heap);
    ASSERT_NE(buffer.data(), nullptr) << count;
    EXPECT_EQ(buffer.count(), count);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % 64, 0u) << count;
    EXPECT_TRUE(all_zero(buffer)) << count;
    EXPECT_EQ(buffer.page_kind(), PageKind::ordinary) << count;
  }
}

TEST(FieldBuffer, ReleasesItsBlockExactlyOnce) {
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    FieldBuffer buffer(100, FieldAllocator{});
    ASSERT_NE(buffer.data(), nullptr);
    buffer.data()[99].z = 1.0;  // the whole block is writable
    buffer.release();
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.count(), 0u);
    buffer.release();
  }
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.allocations - before.allocations, 1u);
  EXPECT_EQ(after.deallocations - before.deallocations, 1u);
}

TEST(FieldBuffer, CountZeroAllocatesNothing) {
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    FieldBuffer buffer(0, FieldAllocator{});
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.count(), 0u);
  }
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.allocations, before.allocations);
  EXPECT_EQ(after.deallocations, before.deallocations);
}

TEST(FieldBuffer, OverflowingCountFailsWithoutCallingTheAllocator) {
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    FieldBuffer buffer(kMaxFieldPoints + 1, FieldAllocator{});
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.count(), 0u);
    buffer.release();
  }
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.allocations, before.allocations);
  EXPECT_EQ(after.deallocations, before.deallocations);
}

// More than the machine has: refused up front instead of overcommitted and
// killed while zero-filling. Nothing is released afterwards.
TEST(FieldBuffer, MoreThanFreeMemoryFailsCleanly) {
  const std::uint64_t available = available_physical_memory();
  ASSERT_NE(available, 0u);
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    FieldBuffer buffer(available / sizeof(FieldPoint) + 1, FieldAllocator{});
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.count(), 0u);
  }
  {
    FieldBuffer huge(kMaxFieldPoints, FieldAllocator{});  // 2^64 - 32 bytes
    EXPECT_EQ(huge.data(), nullptr);
  }
  EXPECT_EQ(field_allocator_calls().deallocations, before.deallocations);
}

TEST(FieldBuffer, MoveLeavesTheSourceEmpty) {
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    FieldBuffer source(10, FieldAllocator{});
    FieldPoint* block = source.data();
    ASSERT_NE(block, nullptr);
    FieldBuffer target(std::move(source));
    EXPECT_EQ(target.data(), block);
    EXPECT_EQ(target.count(), 10u);
    EXPECT_EQ(source.data(), nullptr);
    EXPECT_EQ(source.count(), 0u);
    source.release();  // nothing to give back

    FieldBuffer other(20, FieldAllocator{});
    other = std::move(target);  // other's own block goes back first
    EXPECT_EQ(other.data(), block);
    EXPECT_EQ(other.count(), 10u);
    EXPECT_EQ(target.data(), nullptr);
    EXPECT_EQ(field_allocator_calls().deallocations - before.deallocations, 1u);
  }
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.allocations - before.allocations, 2u);
  EXPECT_EQ(after.deallocations - before.deallocations, 2u);
}

// No fallback to ordinary pages: either large pages are there (from a pool,
// or transparent huge pages; the block page-aligned and zeroed) or the
// buffer stays empty.
TEST(FieldBuffer, LargePagesOrNothing) {
  const FieldAllocator large{true};
  const std::uint64_t page = large_page_size();
  FieldBuffer buffer(1000, large);
  if (buffer.data() == nullptr) {
    EXPECT_EQ(buffer.count(), 0u);
    return;
  }
  ASSERT_NE(page, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % page, 0u);
  EXPECT_TRUE(all_zero(buffer));
  EXPECT_EQ(buffer.allocator().large_pages, true);
  EXPECT_NE(buffer.page_kind(), PageKind::ordinary);
}

}  // namespace
}  // namespace brisk
