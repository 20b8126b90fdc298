#include "memory/field_allocator.h"

#include <atomic>

#include "memory/memory_info.h"
#include "memory/memory_os.h"
#include "memory/memory_sizing.h"
#include "memory/memory_stats.h"

namespace brisk {
namespace {

std::atomic<std::uint64_t> allocation_calls{0};
std::atomic<std::uint64_t> deallocation_calls{0};

FieldBlock large_page_block(std::uint64_t bytes, MemoryGrant& grant) {
  const std::uint64_t page = large_page_size();
  const std::uint64_t rounded = round_to_large_pages(bytes, page);
  if (rounded < bytes || rounded == 0) return {};  // no large pages, or the size wraps
  if (!memory_os::pool_uses_available_memory() || grant.acquire(rounded)) {
    if (void* block = memory_os::pool_alloc(rounded)) {
      return {block, rounded, memory_os::pool_kind()};
    }
  }
  // Transparent huge pages come out of the free physical memory.
  if (!memory_os::transparent_pages_usable() || !grant.acquire(rounded)) return {};
  void* block = memory_os::transparent_alloc(rounded, page);
  if (block == nullptr) return {};
  return {block, rounded, PageKind::transparent};
}

}  // namespace

FieldBlock FieldAllocator::allocate(std::uint64_t bytes, MemoryGrant& grant) const {
  allocation_calls.fetch_add(1, std::memory_order_relaxed);
  if (large_pages) return large_page_block(bytes, grant);
  if (!grant.acquire(bytes)) return {};
  void* block = memory_os::ordinary_alloc(bytes);
  if (block == nullptr) return {};
  return {block, bytes, PageKind::ordinary};
}

void FieldAllocator::deallocate(const FieldBlock& block) const {
  if (block.data == nullptr) return;
  deallocation_calls.fetch_add(1, std::memory_order_relaxed);
  switch (block.kind) {
    case PageKind::ordinary:
      memory_os::ordinary_free(block.data, block.bytes);
      return;
    case PageKind::transparent:
      memory_os::transparent_free(block.data, block.bytes);
      return;
    case PageKind::hugetlb:
    case PageKind::large:
      memory_os::pool_free(block.data, block.bytes);
      return;
  }
}

void FieldAllocator::account(const FieldBlock& block) const {
  if (pages == nullptr || block.data == nullptr) return;
  std::uint64_t huge = 0;
  switch (block.kind) {
    case PageKind::ordinary:
      break;  // advised away from huge pages before the first touch
    case PageKind::transparent:
      huge = memory_os::transparent_huge_bytes(block.data, block.bytes);
      break;
    case PageKind::hugetlb:
    case PageKind::large:
      huge = block.bytes;
      break;
  }
  pages->add(block.kind, block.bytes, huge);
}

FieldAllocatorCalls field_allocator_calls() {
  return {allocation_calls.load(std::memory_order_relaxed),
          deallocation_calls.load(std::memory_order_relaxed)};
}

}  // namespace brisk
