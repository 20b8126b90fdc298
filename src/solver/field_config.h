// What allocate_fields needs to build a grid.
#pragma once

#include <cstdint>

#include "memory/field_allocator.h"

namespace brisk {

struct FieldConfig {
  const FieldAllocator& allocator;  // the run's single allocator
  std::uint64_t grid_size;          // N
  double spacing;                   // lattice spacing dx (the worker passes 0.01)
};

}  // namespace brisk
