// The E/H update sweeps and the energy measures on a Grid, one instance per
// ISA tag (sse2, avx and avx2 share one scalar source; fma has its own
// vector sweeps and uses the avx energy measures).
#pragma once

#include <cstdint>

#include "solver/grid.h"
#include "solver/isa_tags.h"

namespace brisk {

// H <- H - ch * curl E on [1, N - 1]^3. false only when there is no grid (N = 0
// or no fields).
template <class Tag>
bool update_h(Grid& grid);
// E <- E + ce * curl H on [2, N]^3. false only when there is no grid.
template <class Tag>
bool update_e(Grid& grid);
// (0.5 * cell_volume) * (|E|^2 + |H averaged onto the node|^2) at (a, b, c).
template <class Tag>
double node_energy(const Grid& grid, std::uint64_t a, std::uint64_t b, std::uint64_t c);
// The sum of node_energy over [2, N]^3 in loop order; 0 for N < 2.
template <class Tag>
double total_energy(const Grid& grid);

}  // namespace brisk
