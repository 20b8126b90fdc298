// Sizing of field memory: per-thread figures, large-page rounding, the
// overflow bound and the admission rule against free memory.
#include "memory/memory_sizing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "memory/memory_guard.h"
#include "memory/memory_info.h"

namespace brisk {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

TEST(MemoryPerThread, CountsTwoFieldsOfPaddedPoints) {
  EXPECT_EQ(memory_per_thread(64), 18'399'744u);
  EXPECT_EQ(memory_per_thread(192), 467'288'576u);
  EXPECT_EQ(memory_per_thread(8192), 35'210'148'184'576u);
}

TEST(LargePageRounding, RoundsUpToWholePages) {
  const std::uint64_t page = 2 * kMiB;
  EXPECT_EQ(round_to_large_pages(70'304'000, page), 71'303'168u);  // N = 128: 34 pages
  EXPECT_EQ(round_to_large_pages(9'199'872, page), 10'485'760u);   // N = 64: 5 pages
  EXPECT_EQ(round_to_large_pages(page, page), page);
  EXPECT_EQ(round_to_large_pages(page + 1, page), 2 * page);
}

TEST(LargePageRounding, PageSizeZeroGivesARefusedSize) {
  EXPECT_EQ(round_to_large_pages(9'199'872, 0), 0u);
  EXPECT_EQ(round_to_large_pages(1, 0), 0u);
}

TEST(FieldBytes, OverflowBoundIsExact) {
  EXPECT_EQ(kMaxFieldPoints, 576'460'752'303'423'487u);
  EXPECT_EQ(field_bytes(kMaxFieldPoints), kMaxFieldPoints * 32);
  EXPECT_FALSE(field_bytes(kMaxFieldPoints + 1).has_value());
  EXPECT_FALSE(field_bytes(std::numeric_limits<std::uint64_t>::max()).has_value());
  EXPECT_EQ(field_bytes(287'496), 9'199'872u);
}

TEST(FitsInAvailable, KeepsTheMarginAndCountsPendingBytes) {
  const std::uint64_t available = 4096 * kMiB;
  const std::uint64_t margin = 512 * kMiB;
  EXPECT_TRUE(fits_in_available(3584 * kMiB, 0, available, margin));
  EXPECT_FALSE(fits_in_available(3584 * kMiB + 1, 0, available, margin));
  EXPECT_TRUE(fits_in_available(1024 * kMiB, 2560 * kMiB, available, margin));
  EXPECT_FALSE(fits_in_available(1024 * kMiB + 1, 2560 * kMiB, available, margin));
  // Pending bytes beyond the room (free memory shrank meanwhile) refuse everything.
  EXPECT_FALSE(fits_in_available(1, 4000 * kMiB, available, margin));
  EXPECT_FALSE(fits_in_available(1, 0, margin, margin));
  // No overflow for huge requests.
  EXPECT_FALSE(fits_in_available(std::numeric_limits<std::uint64_t>::max(), 1, available, margin));
  // Unknown free memory does not block anything.
  EXPECT_TRUE(fits_in_available(std::numeric_limits<std::uint64_t>::max(), 0, 0, margin));
}

TEST(MemoryGrant, PendingWhileHeldAndRefusedBeyondFreeMemory) {
  const std::uint64_t before = pending_field_bytes();
  {
    MemoryGrant grant(64 * kMiB);
    ASSERT_TRUE(grant.granted());
    EXPECT_EQ(pending_field_bytes(), before + 64 * kMiB);
    grant.settle(16 * kMiB);  // written bytes leave the pending count
    EXPECT_EQ(pending_field_bytes(), before + 48 * kMiB);
    const std::uint64_t available = available_physical_memory();
    if (available != 0) {
      MemoryGrant too_big(available);
      EXPECT_FALSE(too_big.granted());
      too_big.settle(kMiB);  // nothing was granted, nothing to settle
      EXPECT_EQ(pending_field_bytes(), before + 48 * kMiB);
    }
  }
  EXPECT_EQ(pending_field_bytes(), before);
  const MemoryGrant nothing(0);
  EXPECT_TRUE(nothing.granted());
}

TEST(AvailablePhysicalMemory, ReportsSomethingPlausible) {
  const std::uint64_t available = available_physical_memory();
  EXPECT_GT(available, 16 * kMiB);
  EXPECT_LT(available, std::uint64_t{1} << 50);
}

TEST(LargePageSize, SameValueForConcurrentFirstCallers) {
  std::vector<std::uint64_t> seen(4, 1);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = large_page_size(); });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::uint64_t value : seen) EXPECT_EQ(value, large_page_size());
  // A page size, when there is one, is a power of two.
  const std::uint64_t page = large_page_size();
  if (page != 0) {
    EXPECT_EQ(page & (page - 1), 0u);
  }
}

}  // namespace
}  // namespace brisk
