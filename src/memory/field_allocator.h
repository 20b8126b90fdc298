// Where field memory comes from: ordinary pages, or large pages (a reserved
// pool first, then transparent huge pages where the system has them).
#pragma once

#include <cstdint>

#include "memory/field_pages.h"
#include "memory/memory_guard.h"

namespace brisk {

// One block of field memory and how to give it back.
struct FieldBlock {
  void* data = nullptr;     // null when nothing was obtained
  std::uint64_t bytes = 0;  // as obtained: whole large pages for large-page kinds
  PageKind kind = PageKind::ordinary;
};

struct FieldAllocator {
  bool large_pages = false;
  // Where the blocks of a run are counted once they are filled (account);
  // null counts nothing. Outlives every allocation made with this allocator.
  PageTally* pages = nullptr;

  // A block of at least `bytes` bytes, or one with null data. Memory taken
  // out of the free physical memory is admitted through `grant` first (a pool
  // reserved apart from it is not). Without large_pages the block is on
  // ordinary pages, whatever the system's transparent huge page setting.
  // With large_pages: rounded up to whole large pages, from the reserved pool
  // when it has room, else aligned to the large page size and advised to be
  // put on transparent huge pages; when the system or the process has those
  // off, null. Never ordinary pages under the large-pages label.
  FieldBlock allocate(std::uint64_t bytes, MemoryGrant& grant) const;
  // Gives back a block from allocate(); null data does nothing.
  void deallocate(const FieldBlock& block) const;
  // Counts a filled block into `pages`: how much of it the kernel really put
  // on huge pages is read back now, so call it after the fill and never in a
  // timed loop.
  void account(const FieldBlock& block) const;
};

}  // namespace brisk
