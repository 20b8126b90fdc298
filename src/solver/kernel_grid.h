// The boundary between baseline code and per-ISA code. The per-ISA
// translation units see only this plain record and the functions below, so
// no inline function of a common header is compiled into them (the linker
// keeps one copy of an inline function and might give the sse2 path the
// AVX2 copy).
#pragma once

#include <cstdint>

#include "memory/field_point.h"
#include "solver/isa_tags.h"

namespace brisk {

// What the sweeps and energy measures need of a Grid, as plain data.
struct KernelGrid {
  FieldPoint* e;
  FieldPoint* h;
  std::uint64_t edge_e;
  std::uint64_t edge_h;
  double ce;
  double ch;
  double cell_volume;
};

// The sweeps of one ISA. false when the grid holds no fields or N is 0.
template <class Tag>
bool sweep_h(const KernelGrid& grid);
template <class Tag>
bool sweep_e(const KernelGrid& grid);

// The scalar energy measures of one ISA (the fma build uses the avx ones).
template <class Tag>
double point_energy(const KernelGrid& grid, std::uint64_t a, std::uint64_t b, std::uint64_t c);
template <class Tag>
double grid_energy(const KernelGrid& grid);

// The fma sweeps are written for 256-bit vectors (kernels_fma.cpp).
template <>
bool sweep_h<Fma>(const KernelGrid& grid);
template <>
bool sweep_e<Fma>(const KernelGrid& grid);

}  // namespace brisk
