// Admission of field memory against the physical memory really there.
//
// Linux overcommits: a block that cannot be backed is handed out anyway and
// the process is killed later, while it zero-fills. So every field block is
// granted under one process-wide lock only when its size, plus the bytes
// granted to blocks still being filled, fits into the free physical memory
// less a safety margin. A grant ends when its block is filled: its pages are
// then resident and the free-memory figure shows them.
#pragma once

#include <cstdint>

namespace brisk {

// Memory kept free for the rest of the system and the process.
inline constexpr std::uint64_t kFieldMemoryMargin = std::uint64_t{512} << 20;

class MemoryGrant {
 public:
  // Asks for `bytes`; granted() tells the answer.
  explicit MemoryGrant(std::uint64_t bytes);
  MemoryGrant(const MemoryGrant&) = delete;
  MemoryGrant& operator=(const MemoryGrant&) = delete;
  ~MemoryGrant();

  bool granted() const { return granted_; }

 private:
  std::uint64_t bytes_ = 0;
  bool granted_ = false;
};

// Bytes granted but not yet filled (for tests and diagnostics).
std::uint64_t pending_field_bytes();

}  // namespace brisk
