// The scalar sweeps and energy measures, one source for sse2, avx and avx2.
// Each ISA's translation unit includes this file and instantiates it for its
// tag under its own target flags, with -ffp-contract=off so every product
// and every sum is rounded on its own. Every helper is a template over the
// tag (or a builtin), so no two ISAs ever share a compiled function.
//
// The loops run x outermost and z innermost over exactly the update ranges.
// Within that order the z loop handles two points per pass and prefetches the
// two streams that come from memory (the far neighbour plane of the field
// that is read, and the field that is written) once per pair, a fixed
// distance ahead; the other neighbours are still in the caches.
#pragma once

#include "solver/kernel_grid.h"

namespace brisk {
namespace scalar {

// Prefetch distance in points along z (1 KiB); measured on Zen 2 at grid 192.
constexpr std::uint64_t kPrefetchPoints = 32;

// H at h from E's forward differences (e is E at the same point).
template <class Tag>
inline void h_point(const FieldPoint* __restrict e, FieldPoint* __restrict h, std::uint64_t sy,
                    std::uint64_t sx, double ch) {
  const double dezdy = e[sy].z - e->z;
  const double deydz = e[1].y - e->y;
  const double dexdz = e[1].x - e->x;
  const double dezdx = e[sx].z - e->z;
  const double deydx = e[sx].y - e->y;
  const double dexdy = e[sy].x - e->x;
  const double cx = dezdy - deydz;
  const double cy = dexdz - dezdx;
  const double cz = deydx - dexdy;
  h->x = h->x - ch * cx;
  h->y = h->y - ch * cy;
  h->z = h->z - ch * cz;
}

// E at e from H's backward differences (h is H at the same point).
template <class Tag>
inline void e_point(const FieldPoint* __restrict h, FieldPoint* __restrict e, std::uint64_t sy,
                    std::uint64_t sx, double ce) {
  const double dhzdy = h->z - h[-static_cast<std::int64_t>(sy)].z;
  const double dhydz = h->y - h[-1].y;
  const double dhxdz = h->x - h[-1].x;
  const double dhzdx = h->z - h[-static_cast<std::int64_t>(sx)].z;
  const double dhydx = h->y - h[-static_cast<std::int64_t>(sx)].y;
  const double dhxdy = h->x - h[-static_cast<std::int64_t>(sy)].x;
  const double cx = dhzdy - dhydz;
  const double cy = dhxdz - dhzdx;
  const double cz = dhydx - dhxdy;
  e->x = e->x + ce * cx;
  e->y = e->y + ce * cy;
  e->z = e->z + ce * cz;
}

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
  const std::uint64_t ahead = scalar::kPrefetchPoints;
  const double ch = grid.ch;
  for (std::uint64_t x = 1; x < limit; ++x) {
    for (std::uint64_t y = 1; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const FieldPoint* __restrict e = grid.e + row;
      FieldPoint* __restrict h = grid.h + row;
      std::uint64_t z = 1;
      for (; z + 1 < limit; z += 2) {
        __builtin_prefetch(e + z + sx + ahead);
        __builtin_prefetch(h + z + ahead);
        scalar::h_point<Tag>(e + z, h + z, sy, sx, ch);
        scalar::h_point<Tag>(e + z + 1, h + z + 1, sy, sx, ch);
      }
      if (z < limit) scalar::h_point<Tag>(e + z, h + z, sy, sx, ch);
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
  const std::uint64_t ahead = scalar::kPrefetchPoints;
  const double ce = grid.ce;
  for (std::uint64_t x = 2; x < limit; ++x) {
    for (std::uint64_t y = 2; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const FieldPoint* __restrict h = grid.h + row;
      FieldPoint* __restrict e = grid.e + row;
      std::uint64_t z = 2;
      for (; z + 1 < limit; z += 2) {
        __builtin_prefetch(h + z + ahead);
        __builtin_prefetch(e + z + ahead);
        scalar::e_point<Tag>(h + z, e + z, sy, sx, ce);
        scalar::e_point<Tag>(h + z + 1, e + z + 1, sy, sx, ce);
      }
      if (z < limit) scalar::e_point<Tag>(h + z, e + z, sy, sx, ce);
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
      // E and H of plane x come from memory; H of plane x - 1 is cached.
      // Two points per pass, so the prefetch needs no test per point; the
      // sum still takes the points one by one, in order.
      std::uint64_t z = 2;
      for (; z + 1 < limit; z += 2) {
        __builtin_prefetch(grid.e + row + z + scalar::kPrefetchPoints);
        __builtin_prefetch(grid.h + row + z + scalar::kPrefetchPoints);
        sum += scalar::node_energy_at<Tag>(grid.e, grid.h, row + z, sy, sx, half_volume);
        sum += scalar::node_energy_at<Tag>(grid.e, grid.h, row + z + 1, sy, sx, half_volume);
      }
      if (z < limit) {
        sum += scalar::node_energy_at<Tag>(grid.e, grid.h, row + z, sy, sx, half_volume);
      }
    }
  }
  return sum;
}

}  // namespace brisk
