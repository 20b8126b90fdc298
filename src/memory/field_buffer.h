// An owned, zero-filled array of FieldPoints. Empty (null data, count 0) when
// the memory could not be obtained; never throws.
#pragma once

#include <cstdint>

#include "memory/field_allocator.h"
#include "memory/field_point.h"

namespace brisk {

class FieldBuffer {
 public:
  FieldBuffer() = default;
  // Allocates `count` points with `allocator`, zero-fills them on the
  // calling thread and counts the block into the allocator's tally; stays
  // empty on failure.
  FieldBuffer(std::uint64_t count, const FieldAllocator& allocator);
  FieldBuffer(FieldBuffer&& other) noexcept;
  FieldBuffer& operator=(FieldBuffer&& other) noexcept;
  FieldBuffer(const FieldBuffer&) = delete;
  FieldBuffer& operator=(const FieldBuffer&) = delete;
  ~FieldBuffer();

  // Gives the memory back; releasing an empty buffer does nothing.
  void release();

  FieldPoint* data() const { return static_cast<FieldPoint*>(block_.data); }
  std::uint64_t count() const { return count_; }
  const FieldAllocator& allocator() const { return allocator_; }
  // The pages the block is on (ordinary for an empty buffer).
  PageKind page_kind() const { return block_.kind; }

 private:
  FieldAllocator allocator_;
  std::uint64_t count_ = 0;
  FieldBlock block_;
};

}  // namespace brisk
