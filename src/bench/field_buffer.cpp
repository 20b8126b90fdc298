#include "bench/field_buffer.h"

#include <cstring>
#include <utility>

#include "bench/memory_guard.h"
#include "bench/memory_os.h"
#include "bench/memory_sizing.h"

namespace brisk {

FieldBuffer::FieldBuffer(std::uint64_t count, const FieldAllocator& allocator)
    : allocator_(allocator) {
  if (count == 0) return;
  const std::optional<std::uint64_t> bytes = field_bytes(count);
  if (!bytes) return;
  // The grant is held until the block is filled (see memory_guard.h).
  const bool guarded = !allocator_.large_pages || memory_os::large_pages_use_available_memory();
  const MemoryGrant grant(guarded ? *bytes : 0);
  if (!grant.granted()) return;
  void* block = allocator_.allocate(*bytes);
  if (block == nullptr) return;
  // Every byte is written here, on the constructing thread, so every page is
  // first touched (and placed) by the thread that will use it.
  std::memset(block, 0, static_cast<std::size_t>(*bytes));
  data_ = static_cast<FieldPoint*>(block);
  count_ = count;
}

FieldBuffer::FieldBuffer(FieldBuffer&& other) noexcept
    : allocator_(other.allocator_),
      count_(std::exchange(other.count_, 0)),
      data_(std::exchange(other.data_, nullptr)) {}

FieldBuffer& FieldBuffer::operator=(FieldBuffer&& other) noexcept {
  if (this != &other) {
    release();
    allocator_ = other.allocator_;
    count_ = std::exchange(other.count_, 0);
    data_ = std::exchange(other.data_, nullptr);
  }
  return *this;
}

FieldBuffer::~FieldBuffer() { release(); }

void FieldBuffer::release() {
  if (data_ != nullptr) allocator_.deallocate(data_);
  data_ = nullptr;
  count_ = 0;
}

}  // namespace brisk
