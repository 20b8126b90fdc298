// Admission of field memory against the physical memory really there.
//
// Linux overcommits: a block that cannot be backed is handed out anyway and
// the process is killed later, while it zero-fills. So every field block is
// granted under one process-wide lock only when its size, plus the bytes
// granted but not yet written, fits into the free physical memory less a
// safety margin (kFieldMemoryMargin). Written bytes leave the pending count
// as the fill goes on: their pages are then resident and the free-memory
// figure shows them, so no byte is counted twice. threads_that_fit
// (memory_sizing.h) is the same rule for whole threads.
#pragma once

#include <cstdint>

#include "memory/memory_sizing.h"

namespace brisk {

// The bookkeeping of the admission rule, apart from the lock and the
// free-memory query, so the rule can be played through with any figures.
class FieldMemoryLedger {
 public:
  explicit FieldMemoryLedger(std::uint64_t margin) : margin_(margin) {}
  // Grants `bytes` when they fit with the pending bytes into `available`
  // (the free memory now; 0 = unknown, grants everything) less the margin.
  bool grant(std::uint64_t bytes, std::uint64_t available);
  // `bytes` of granted memory have been written (or given up).
  void settle(std::uint64_t bytes);
  std::uint64_t pending() const { return pending_; }

 private:
  std::uint64_t margin_;
  std::uint64_t pending_ = 0;
};

// One block's grant from the process-wide ledger.
class MemoryGrant {
 public:
  // Nothing asked for yet: not granted.
  MemoryGrant() = default;
  // Asks for `bytes`; granted() tells the answer.
  explicit MemoryGrant(std::uint64_t bytes);
  MemoryGrant(const MemoryGrant&) = delete;
  MemoryGrant& operator=(const MemoryGrant&) = delete;
  // Settles whatever is still pending.
  ~MemoryGrant();

  // Asks for `bytes` when nothing is granted yet; true when granted (now or
  // before: one grant per block).
  bool acquire(std::uint64_t bytes);
  bool granted() const { return granted_; }
  // Another `bytes` of the block are written; does nothing without a grant.
  void settle(std::uint64_t bytes);

 private:
  std::uint64_t pending_ = 0;  // of this grant, not yet settled
  bool granted_ = false;
};

// Bytes granted but not yet filled (for tests and diagnostics).
std::uint64_t pending_field_bytes();

}  // namespace brisk
