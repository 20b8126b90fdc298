// The scalar kernels built for avx2 (compiled with that ISA's flags only).
#if !defined(__AVX2__) || defined(__FMA__) || defined(__AVX512F__)
#error "kernels_avx2.cpp must be built with AVX2 and nothing above it"
#endif
#include "solver/kernels_scalar.h"

namespace brisk {

template bool sweep_h<Avx2>(const KernelGrid& grid);
template bool sweep_e<Avx2>(const KernelGrid& grid);
template double point_energy<Avx2>(const KernelGrid& grid, std::uint64_t a, std::uint64_t b,
                                   std::uint64_t c);
template double grid_energy<Avx2>(const KernelGrid& grid);

}  // namespace brisk
