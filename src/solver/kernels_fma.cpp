// The fma sweeps: one 256-bit vector per FieldPoint (x, y, z, pad). The
// differences are taken between whole neighbouring points, the curl is
// assembled from them by lane permutes and blends, and each point is updated
// with one fused multiply-add, all four lanes stored (the pad lane stays 0
// because every pad difference is 0).
//
// Built with -mavx2 -mfma. The curl needs only AVX shuffles (vperm2f128,
// vblendpd, vshufpd: on Zen 2 these are single micro-ops, where the AVX2
// vpermpd takes two and was measured ~15% slower), but the compiler is free to
// use AVX2 anywhere in this file, so the fma support check requires avx2 too.
//
// The loops keep the x, y, z order of every variant. What is added is a
// software prefetch of the two streams that come from memory (the far
// neighbour plane of the field that is read, and the field that is written),
// a fixed distance ahead along z, once per pair of points (one cache line);
// the other two neighbours of a point were touched one row or one plane
// earlier and are still in the caches.
#include <immintrin.h>

#if !defined(__AVX2__) || !defined(__FMA__) || defined(__AVX512F__)
#error "kernels_fma.cpp must be built with AVX2 and FMA and nothing above them"
#endif

#include "solver/kernel_grid.h"

namespace brisk {
namespace {

// Prefetch distance in points (32 points = 1 KiB = 16 cache lines). Measured
// on Zen 2 at grid 192: ~15% more throughput than none; 16 and 64 did worse.
constexpr std::uint64_t kPrefetchPoints = 32;

inline void prefetch(const double* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
}

// From the whole-point differences along y, z and x (dy, dz, dx) of a field F:
//   curl = (dFz/dy - dFy/dz, dFx/dz - dFz/dx, dFy/dx - dFx/dy, 0)
//        = (dy.z, dz.x, dx.y, dz.pad) - (dz.y, dx.z, dy.x, dx.pad).
inline __m256d curl_of(__m256d dy, __m256d dz, __m256d dx) {
  const __m256d sy = _mm256_permute2f128_pd(dy, dy, 0x01);  // (dy.z, dy.pad, dy.x, dy.y)
  const __m256d sx = _mm256_permute2f128_pd(dx, dx, 0x01);  // (dx.z, dx.pad, dx.x, dx.y)
  const __m256d m = _mm256_blend_pd(sy, sx, 0xC);           // (dy.z, dy.pad, dx.x, dx.y)
  const __m256d n = _mm256_blend_pd(dz, sy, 0xC);           // (dz.x, dz.y, dy.x, dy.y)
  const __m256d q = _mm256_blend_pd(sx, dx, 0xC);           // (dx.z, dx.pad, dx.z, dx.pad)
  const __m256d plus = _mm256_shuffle_pd(m, dz, 0xC);       // (dy.z, dz.x, dx.y, dz.pad)
  const __m256d minus = _mm256_shuffle_pd(n, q, 0x9);       // (dz.y, dx.z, dy.x, dx.pad)
  return _mm256_sub_pd(plus, minus);
}

// H at p (E at e) from E's forward differences; `here` is E at p and becomes
// E at p + 1, which the next point along z needs.
inline void h_point(const double* e, double* h, std::uint64_t sy, std::uint64_t sx, __m256d ch,
                    __m256d& here) {
  const __m256d next_z = _mm256_load_pd(e + 4);
  const __m256d next_y = _mm256_load_pd(e + sy);
  const __m256d next_x = _mm256_load_pd(e + sx);
  const __m256d curl = curl_of(_mm256_sub_pd(next_y, here), _mm256_sub_pd(next_z, here),
                               _mm256_sub_pd(next_x, here));
  _mm256_store_pd(h, _mm256_fnmadd_pd(ch, curl, _mm256_load_pd(h)));
  here = next_z;
}

// E at p (H at h) from H's backward differences; `prev_z` is H at p - 1 and
// becomes H at p.
inline void e_point(const double* h, double* e, std::uint64_t sy, std::uint64_t sx, __m256d ce,
                    __m256d& prev_z) {
  const __m256d here = _mm256_load_pd(h);
  const __m256d prev_y = _mm256_load_pd(h - sy);
  const __m256d prev_x = _mm256_load_pd(h - sx);
  const __m256d curl = curl_of(_mm256_sub_pd(here, prev_y), _mm256_sub_pd(here, prev_z),
                               _mm256_sub_pd(here, prev_x));
  _mm256_store_pd(e, _mm256_fmadd_pd(ce, curl, _mm256_load_pd(e)));
  prev_z = here;
}

inline const double* lanes(const FieldPoint* p) { return reinterpret_cast<const double*>(p); }
inline double* lanes(FieldPoint* p) { return reinterpret_cast<double*>(p); }

}  // namespace

template <>
bool sweep_h<Fma>(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 3 || grid.edge_h != edge) return false;
  const std::uint64_t limit = edge - 2;
  const std::uint64_t sy = edge * 4;  // strides in doubles
  const std::uint64_t sx = edge * edge * 4;
  const std::uint64_t ahead = 4 * kPrefetchPoints;
  const __m256d ch = _mm256_set1_pd(grid.ch);
  for (std::uint64_t x = 1; x < limit; ++x) {
    for (std::uint64_t y = 1; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const double* __restrict e = lanes(grid.e + row);
      double* __restrict h = lanes(grid.h + row);
      __m256d here = _mm256_load_pd(e + 4);  // E(x, y, 1)
      std::uint64_t z = 1;
      for (; z + 1 < limit; z += 2) {
        prefetch(e + 4 * z + sx + ahead);
        prefetch(h + 4 * z + ahead);
        h_point(e + 4 * z, h + 4 * z, sy, sx, ch, here);
        h_point(e + 4 * z + 4, h + 4 * z + 4, sy, sx, ch, here);
      }
      if (z < limit) h_point(e + 4 * z, h + 4 * z, sy, sx, ch, here);
    }
  }
  return true;
}

template <>
bool sweep_e<Fma>(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 3 || grid.edge_h != edge) return false;
  const std::uint64_t limit = edge - 1;
  const std::uint64_t sy = edge * 4;
  const std::uint64_t sx = edge * edge * 4;
  const std::uint64_t ahead = 4 * kPrefetchPoints;
  const __m256d ce = _mm256_set1_pd(grid.ce);
  for (std::uint64_t x = 2; x < limit; ++x) {
    for (std::uint64_t y = 2; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const double* __restrict h = lanes(grid.h + row);
      double* __restrict e = lanes(grid.e + row);
      __m256d prev_z = _mm256_load_pd(h + 4);  // H(x, y, 1)
      std::uint64_t z = 2;
      for (; z + 1 < limit; z += 2) {
        prefetch(h + 4 * z + ahead);
        prefetch(e + 4 * z + ahead);
        e_point(h + 4 * z, e + 4 * z, sy, sx, ce, prev_z);
        e_point(h + 4 * z + 4, e + 4 * z + 4, sy, sx, ce, prev_z);
      }
      if (z < limit) e_point(h + 4 * z, e + 4 * z, sy, sx, ce, prev_z);
    }
  }
  return true;
}

}  // namespace brisk
