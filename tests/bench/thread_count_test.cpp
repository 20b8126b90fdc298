// The automatic thread count against the field memory guard it must agree with.
#include "bench/thread_count.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "memory/memory_guard.h"
#include "memory/memory_info.h"
#include "memory/memory_sizing.h"

namespace brisk {
namespace {

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

}  // namespace
}  // namespace brisk
