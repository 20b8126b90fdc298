// The fma sweeps: one 256-bit vector per FieldPoint (x, y, z, pad). The
// differences are taken between whole neighbouring points, the curl is
// assembled from them by lane permutes and blends, and each point is updated
// with one fused multiply-add, all four lanes stored (the pad lane stays 0
// because every pad difference is 0). Compiled with -mavx2 -mfma: the
// permutes are AVX2 instructions, so the fma support check requires avx2 too.
#include <immintrin.h>

#include "solver/kernel_grid.h"

namespace brisk {
namespace {

// From the whole-point differences along y, z and x (dy, dz, dx) of a field F:
//   curl = (dFz/dy - dFy/dz, dFx/dz - dFz/dx, dFy/dx - dFx/dy, 0)
//        = (dy.z, dz.x, dx.y, dy.pad) - (dz.y, dx.z, dy.x, dz.pad).
// Each difference is permuted once so that it serves both operands.
inline __m256d curl_of(__m256d dy, __m256d dz, __m256d dx) {
  const __m256d py = _mm256_permute4x64_pd(dy, _MM_SHUFFLE(3, 0, 0, 2));  // (dy.z, -, dy.x, dy.pad)
  const __m256d pz = _mm256_permute4x64_pd(dz, _MM_SHUFFLE(3, 0, 0, 1));  // (dz.y, dz.x, -, dz.pad)
  const __m256d px = _mm256_permute4x64_pd(dx, _MM_SHUFFLE(3, 1, 2, 0));  // (-, dx.z, dx.y, -)
  const __m256d plus = _mm256_blend_pd(_mm256_blend_pd(py, pz, 0x2), px, 0x4);
  const __m256d minus = _mm256_blend_pd(_mm256_blend_pd(pz, px, 0x2), py, 0x4);
  return _mm256_sub_pd(plus, minus);
}

inline const double* lanes(const FieldPoint* p) { return reinterpret_cast<const double*>(p); }
inline double* lanes(FieldPoint* p) { return reinterpret_cast<double*>(p); }

}  // namespace

template <>
bool sweep_h<Fma>(const KernelGrid& grid) {
  const std::uint64_t edge = grid.edge_e;
  if (grid.e == nullptr || grid.h == nullptr || edge < 3 || grid.edge_h != edge) return false;
  const std::uint64_t limit = edge - 2;
  const std::uint64_t sy = edge * 4;  // in doubles
  const std::uint64_t sx = edge * edge * 4;
  const __m256d ch = _mm256_set1_pd(grid.ch);
  for (std::uint64_t x = 1; x < limit; ++x) {
    for (std::uint64_t y = 1; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const double* __restrict e = lanes(grid.e + row);
      double* __restrict h = lanes(grid.h + row);
      __m256d here = _mm256_load_pd(e + 4);  // E(x, y, 1)
      for (std::uint64_t z = 1; z < limit; ++z) {
        const double* p = e + 4 * z;
        const __m256d next_z = _mm256_load_pd(p + 4);
        const __m256d next_y = _mm256_load_pd(p + sy);
        const __m256d next_x = _mm256_load_pd(p + sx);
        const __m256d curl = curl_of(_mm256_sub_pd(next_y, here), _mm256_sub_pd(next_z, here),
                                     _mm256_sub_pd(next_x, here));
        double* q = h + 4 * z;
        _mm256_store_pd(q, _mm256_fnmadd_pd(ch, curl, _mm256_load_pd(q)));
        here = next_z;
      }
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
  const __m256d ce = _mm256_set1_pd(grid.ce);
  for (std::uint64_t x = 2; x < limit; ++x) {
    for (std::uint64_t y = 2; y < limit; ++y) {
      const std::uint64_t row = (x * edge + y) * edge;
      const double* __restrict h = lanes(grid.h + row);
      double* __restrict e = lanes(grid.e + row);
      __m256d prev_z = _mm256_load_pd(h + 4);  // H(x, y, 1)
      for (std::uint64_t z = 2; z < limit; ++z) {
        const double* p = h + 4 * z;
        const __m256d here = _mm256_load_pd(p);
        const __m256d prev_y = _mm256_load_pd(p - sy);
        const __m256d prev_x = _mm256_load_pd(p - sx);
        const __m256d curl = curl_of(_mm256_sub_pd(here, prev_y), _mm256_sub_pd(here, prev_z),
                                     _mm256_sub_pd(here, prev_x));
        double* q = e + 4 * z;
        _mm256_store_pd(q, _mm256_fmadd_pd(ce, curl, _mm256_load_pd(q)));
        prev_z = here;
      }
    }
  }
  return true;
}

}  // namespace brisk
