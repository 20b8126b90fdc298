// Counts of the calls into FieldAllocator, so tests can tell whether an
// operation reached the allocator at all (the counters are process-wide).
#pragma once

#include <cstdint>

namespace brisk {

struct FieldAllocatorCalls {
  std::uint64_t allocations = 0;    // calls of allocate()
  std::uint64_t deallocations = 0;  // calls of deallocate() with a block
};

FieldAllocatorCalls field_allocator_calls();

}  // namespace brisk
