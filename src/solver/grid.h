// The per-thread grid: E and H on (N + 2)^3 lattice points each, with one
// extra layer on every side of the N^3 interior, and the update coefficients.
#pragma once

#include <cstdint>

#include "memory/field_buffer.h"
#include "memory/field_point.h"
#include "solver/field_config.h"

namespace brisk {

// One vector field. Point (x, y, z) is element (x * edge + y) * edge + z:
// z varies fastest, x slowest; the x component belongs to the x axis.
struct Field {
  std::uint64_t edge = 0;  // lattice points along each axis (N + 2)
  FieldBuffer buffer;      // edge^3 points, empty when allocation failed

  Field() = default;
  // Obtains edge^3 zeroed points; the buffer stays empty when that count
  // overflows or the memory cannot be had.
  Field(std::uint64_t edge, const FieldAllocator& allocator);

  std::uint64_t index(std::uint64_t x, std::uint64_t y, std::uint64_t z) const {
    return (x * edge + y) * edge + z;
  }
  FieldPoint& at(std::uint64_t x, std::uint64_t y, std::uint64_t z) {
    return buffer.data()[index(x, y, z)];
  }
  const FieldPoint& at(std::uint64_t x, std::uint64_t y, std::uint64_t z) const {
    return buffer.data()[index(x, y, z)];
  }
  bool allocated() const { return buffer.data() != nullptr; }
};

struct Grid {
  Field e;                   // electric field
  Field h;                   // magnetic field
  double dx = 0.0;           // lattice spacing
  double dt = 0.0;           // time step, dx * 0.5
  double cell_volume = 0.0;  // dx^3
  double ce = 0.0;           // E-update coefficient dt / dx (0.5)
  double ch = 0.0;           // H-update coefficient dt / dx (0.5)

  Grid() = default;
  // E storage first, then H, then the coefficients.
  explicit Grid(const FieldConfig& config);
};

}  // namespace brisk
