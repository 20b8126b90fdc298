// Sizing of field memory: per-thread figures, large-page rounding, the
// overflow bound and the admission rule against free memory.
#include "bench/memory_sizing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "bench/memory_guard.h"
#include "bench/memory_info.h"
#include "bench/thread_count.h"

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

// Plays `threads` threads taking their E and then their H block through the
// ledger while the free memory drops by every byte they write, as FieldBuffer
// does: each thread takes its block while the blocks taken before it are half
// written, so a ledger that counted a written byte twice (pending, and gone
// from the free memory) would refuse too early. Returns the blocks granted
// before the first refusal.
std::uint64_t blocks_granted(std::uint64_t available, std::uint64_t block, std::uint32_t threads) {
  FieldMemoryLedger ledger(kFieldMemoryMargin);
  std::uint64_t written = 0;
  const auto write = [&](std::uint64_t bytes) {
    written += bytes;
    ledger.settle(bytes);
  };
  std::uint64_t granted = 0;
  for (int field = 0; field < 2; ++field) {
    for (std::uint32_t t = 0; t < threads; ++t) {
      if (!ledger.grant(block, available - written)) return granted;
      ++granted;
      write(block / 2);
    }
    for (std::uint32_t t = 0; t < threads; ++t) write(block - block / 2);
  }
  EXPECT_EQ(ledger.pending(), 0u);
  return granted;
}

// The automatic thread count picks exactly the threads whose fields the guard
// then admits: at the edge of n threads n, one byte less n - 1.
TEST(FieldMemoryRule, AutomaticCountIsWhatTheGuardAdmits) {
  const std::uint64_t block = *field_bytes(66 * 66 * 66);  // one field of grid 64
  const std::uint64_t per_thread = memory_per_thread(64);
  ASSERT_EQ(per_thread, 2 * block);
  const std::uint32_t cores = 64;
  for (const std::uint32_t n : {1u, 2u, 7u}) {
    SCOPED_TRACE(n);
    const std::uint64_t edge = kFieldMemoryMargin + n * per_thread;
    EXPECT_EQ(automatic_thread_count(cores, edge, per_thread), n);
    EXPECT_EQ(threads_that_fit(edge, per_thread, kFieldMemoryMargin), n);
    EXPECT_EQ(blocks_granted(edge, block, n), 2 * n);
    EXPECT_EQ(blocks_granted(edge, block, n + 1), 2 * n);  // not one block more

    EXPECT_EQ(automatic_thread_count(cores, edge - 1, per_thread), n == 1 ? cores : n - 1);
    EXPECT_LT(blocks_granted(edge - 1, block, n), 2 * n);
    EXPECT_EQ(blocks_granted(edge - 1, block, n - 1), 2 * (n - 1));
  }
  // Not even one thread fits, or the memory is unknown: the core count decides.
  EXPECT_EQ(threads_that_fit(kFieldMemoryMargin, per_thread, kFieldMemoryMargin), 0u);
  EXPECT_EQ(threads_that_fit(0, per_thread, kFieldMemoryMargin), 0u);
  EXPECT_EQ(automatic_thread_count(cores, 0, per_thread), cores);
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
