// Where field memory comes from: the 64-byte-aligned heap, or large pages.
#pragma once

#include <cstdint>

namespace brisk {

struct FieldAllocator {
  bool large_pages = false;

  // A block of at least `bytes` bytes (rounded up to whole large pages when
  // large_pages is set), or null. No fallback from large pages to the heap.
  void* allocate(std::uint64_t bytes) const;
  // Gives back a block from allocate(); null does nothing.
  void deallocate(void* block) const;
};

}  // namespace brisk
