// The scalar sweeps and energy measures, one source for sse2, avx and avx2.
// Each ISA's translation unit includes this file and instantiates it for its
// tag under its own target flags, with -ffp-contract=off so every product
// and every sum is rounded on its own. Every helper is a template over the
// tag, so no two ISAs ever share a compiled function.
#pragma once

#include "solver/kernel_grid.h"

namespace brisk {
namespace scalar {

template <class Tag>
inline double node_energy_at(const FieldPoint* __restrict e, const FieldPoint* __restrict h,
                             std::uint64_t index, std::uint64_t stride_y, std::uint64_t stride_x,
                             double half_volume) {
  const FieldPoint& ep = e[index];
  const FieldPoint& hp = h[index];
  // Each H component is averaged with its neighbour one step down its own axis.
  const double hx = (h[index - stride_x].x + hp.x) * 0.5;
  const double hy = (h[index - stride_y].y + hp.y) * 0.5;
  const double hz = (h[index - 1].z + hp.z) * 0.5;
  const double se = (ep.y * ep.y + ep.x * ep.x) + ep.z * ep.z;
  const double sh = (hy * hy + hx * hx) + hz * hz;
  return half_volume * (se + sh);
}

}  // namespace scalar

// H from the forward curl of E on [1, N - 1]^3.
template <class Tag>
bool sweep_h(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 3 || grid.edge_h != edge) return false;
  const std::uint64_t limit = edge - 2;
  const std::uint64_t sy = edge;
  const std::uint64_t sx = edge * edge;
  const double ch = grid.ch;
  for (std::uint64_t x = 1; x < limit; ++x) {
    for (std::uint64_t y = 1; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const FieldPoint* __restrict e = grid.e + row;
      FieldPoint* __restrict h = grid.h + row;
      for (std::uint64_t z = 1; z < limit; ++z) {
        const FieldPoint& p = e[z];
        const double dezdy = e[z + sy].z - p.z;
        const double deydz = e[z + 1].y - p.y;
        const double dexdz = e[z + 1].x - p.x;
        const double dezdx = e[z + sx].z - p.z;
        const double deydx = e[z + sx].y - p.y;
        const double dexdy = e[z + sy].x - p.x;
        const double cx = dezdy - deydz;
        const double cy = dexdz - dezdx;
        const double cz = deydx - dexdy;
        FieldPoint& q = h[z];
        q.x = q.x - ch * cx;
        q.y = q.y - ch * cy;
        q.z = q.z - ch * cz;
      }
    }
  }
  return true;
}

// E from the backward curl of H on [2, N]^3.
template <class Tag>
bool sweep_e(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 3 || grid.edge_h != edge) return false;
  const std::uint64_t limit = edge - 1;
  const std::uint64_t sy = edge;
  const std::uint64_t sx = edge * edge;
  const double ce = grid.ce;
  for (std::uint64_t x = 2; x < limit; ++x) {
    for (std::uint64_t y = 2; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const FieldPoint* __restrict h = grid.h + row;
      FieldPoint* __restrict e = grid.e + row;
      for (std::uint64_t z = 2; z < limit; ++z) {
        const FieldPoint& p = h[z];
        const double dhzdy = p.z - h[z - sy].z;
        const double dhydz = p.y - h[z - 1].y;
        const double dhxdz = p.x - h[z - 1].x;
        const double dhzdx = p.z - h[z - sx].z;
        const double dhydx = p.y - h[z - sx].y;
        const double dhxdy = p.x - h[z - sy].x;
        const double cx = dhzdy - dhydz;
        const double cy = dhxdz - dhzdx;
        const double cz = dhydx - dhxdy;
        FieldPoint& q = e[z];
        q.x = q.x + ce * cx;
        q.y = q.y + ce * cy;
        q.z = q.z + ce * cz;
      }
    }
  }
  return true;
}

template <class Tag>
double point_energy(const KernelGrid& grid, std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  const std::uint64_t edge = grid.edge_e;
  return scalar::node_energy_at<Tag>(grid.e, grid.h, (a * edge + b) * edge + c, edge, edge * edge,
                                     0.5 * grid.cell_volume);
}

// Sum over [2, N]^3 into one running double, one node at a time, in loop order.
template <class Tag>
double grid_energy(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 4) return 0.0;
  const std::uint64_t limit = edge - 1;
  const std::uint64_t sy = edge;
  const std::uint64_t sx = edge * edge;
  const double half_volume = 0.5 * grid.cell_volume;
  double sum = 0.0;
  for (std::uint64_t x = 2; x < limit; ++x) {
    for (std::uint64_t y = 2; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      for (std::uint64_t z = 2; z < limit; ++z) {
        sum += scalar::node_energy_at<Tag>(grid.e, grid.h, row + z, sy, sx, half_volume);
      }
    }
  }
  return sum;
}

}  // namespace brisk
