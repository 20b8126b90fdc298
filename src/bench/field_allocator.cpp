#include "bench/field_allocator.h"

#include <atomic>

#include "bench/memory_info.h"
#include "bench/memory_os.h"
#include "bench/memory_sizing.h"
#include "bench/memory_stats.h"

namespace brisk {
namespace {

std::atomic<std::uint64_t> allocation_calls{0};
std::atomic<std::uint64_t> deallocation_calls{0};

}  // namespace

void* FieldAllocator::allocate(std::uint64_t bytes) const {
  allocation_calls.fetch_add(1, std::memory_order_relaxed);
  if (large_pages) {
    return memory_os::large_alloc(round_to_large_pages(bytes, large_page_size()));
  }
  return memory_os::aligned_alloc64(bytes);
}

void FieldAllocator::deallocate(void* block) const {
  if (large_pages) {
    large_page_size();  // the setup has happened by now; keeps the order of a run
    if (block == nullptr) return;
    deallocation_calls.fetch_add(1, std::memory_order_relaxed);
    memory_os::large_free(block);
    return;
  }
  if (block == nullptr) return;
  deallocation_calls.fetch_add(1, std::memory_order_relaxed);
  memory_os::aligned_free64(block);
}

FieldAllocatorCalls field_allocator_calls() {
  return {allocation_calls.load(std::memory_order_relaxed),
          deallocation_calls.load(std::memory_order_relaxed)};
}

}  // namespace brisk
