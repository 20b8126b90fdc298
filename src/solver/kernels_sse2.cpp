// The scalar kernels built for sse2 (compiled with that ISA's flags only).
// This is the variant every x86-64 processor runs: whatever flags the build
// adds, nothing above SSE2 may reach it.
#if defined(__SSE3__) || defined(__AVX__) || defined(__AVX2__) || defined(__FMA__) || \
    defined(__F16C__) || defined(__AVX512F__) || defined(__BMI__) || defined(__BMI2__)
#error "kernels_sse2.cpp must be built for the x86-64 baseline: its flags enable more than SSE2"
#endif
#include "solver/kernels_scalar.h"

namespace brisk {

template bool sweep_h<Sse2>(const KernelGrid& grid);
template bool sweep_e<Sse2>(const KernelGrid& grid);
template double point_energy<Sse2>(const KernelGrid& grid, std::uint64_t a, std::uint64_t b,
                                   std::uint64_t c);
template double grid_energy<Sse2>(const KernelGrid& grid);

}  // namespace brisk
