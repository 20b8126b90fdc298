// The scalar kernels built for avx (compiled with that ISA's flags only).
// An AVX processor need not have AVX2 or FMA (Sandy Bridge has neither).
#if !defined(__AVX__) || defined(__AVX2__) || defined(__FMA__) || defined(__AVX512F__)
#error "kernels_avx.cpp must be built with AVX and nothing above it"
#endif
#include "solver/kernels_scalar.h"

namespace brisk {

template bool sweep_h<Avx>(const KernelGrid& grid);
template bool sweep_e<Avx>(const KernelGrid& grid);
template double point_energy<Avx>(const KernelGrid& grid, std::uint64_t a, std::uint64_t b,
                                  std::uint64_t c);
template double grid_energy<Avx>(const KernelGrid& grid);

}  // namespace brisk
