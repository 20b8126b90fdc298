// An owned, zero-filled array of FieldPoints. Empty (null data, count 0) when
// the memory could not be obtained; never throws.
#pragma once

#include <cstdint>

#include "bench/field_allocator.h"
#include "bench/field_point.h"

namespace brisk {

class FieldBuffer {
 public:
  FieldBuffer() = default;
  // Allocates `count` points with `allocator` and zero-fills them on the
  // calling thread; stays empty on failure.
  FieldBuffer(std::uint64_t count, const FieldAllocator& allocator);
  FieldBuffer(FieldBuffer&& other) noexcept;
  FieldBuffer& operator=(FieldBuffer&& other) noexcept;
  FieldBuffer(const FieldBuffer&) = delete;
  FieldBuffer& operator=(const FieldBuffer&) = delete;
  ~FieldBuffer();

  // Gives the memory back; releasing an empty buffer does nothing.
  void release();

  FieldPoint* data() const { return data_; }
  std::uint64_t count() const { return count_; }
  const FieldAllocator& allocator() const { return allocator_; }

 private:
  FieldAllocator allocator_;
  std::uint64_t count_ = 0;
  FieldPoint* data_ = nullptr;
};

}  // namespace brisk
