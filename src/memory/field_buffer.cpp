#include "memory/field_buffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "memory/memory_guard.h"
#include "memory/memory_sizing.h"

namespace brisk {
namespace {

// Written bytes are settled with the grant every this many bytes, so a block
// being filled is never counted both as pending and as used for more than
// one chunk.
constexpr std::uint64_t kFillChunkBytes = std::uint64_t{2} << 20;

// Every byte is written here, on the constructing thread, so every page is
// first touched (and placed) by the thread that will use it.
void zero_fill(void* block, std::uint64_t bytes, MemoryGrant& grant) {
  auto* const start = static_cast<unsigned char*>(block);
  for (std::uint64_t done = 0; done < bytes;) {
    const std::uint64_t chunk = std::min(kFillChunkBytes, bytes - done);
    std::memset(start + done, 0, static_cast<std::size_t>(chunk));
    grant.settle(chunk);  // resident now: the free-memory figure shows it
    done += chunk;
  }
}

}  // namespace

FieldBuffer::FieldBuffer(std::uint64_t count, const FieldAllocator& allocator)
    : allocator_(allocator) {
  if (count == 0) return;
  const std::optional<std::uint64_t> bytes = field_bytes(count);
  if (!bytes) return;
  // The grant is settled as the block is filled (see memory_guard.h).
  MemoryGrant grant;
  const FieldBlock block = allocator_.allocate(*bytes, grant);
  if (block.data == nullptr) return;
  zero_fill(block.data, *bytes, grant);
  allocator_.account(block);
  block_ = block;
  count_ = count;
}

FieldBuffer::FieldBuffer(FieldBuffer&& other) noexcept
    : allocator_(other.allocator_),
      count_(std::exchange(other.count_, 0)),
      block_(std::exchange(other.block_, FieldBlock{})) {}

FieldBuffer& FieldBuffer::operator=(FieldBuffer&& other) noexcept {
  if (this != &other) {
    release();
    allocator_ = other.allocator_;
    count_ = std::exchange(other.count_, 0);
    block_ = std::exchange(other.block_, FieldBlock{});
  }
  return *this;
}

FieldBuffer::~FieldBuffer() { release(); }

void FieldBuffer::release() {
  allocator_.deallocate(block_);
  block_ = FieldBlock{};
  count_ = 0;
}

}  // namespace brisk
