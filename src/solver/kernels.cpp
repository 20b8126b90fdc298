#include "solver/kernels.h"

#include "solver/kernel_grid.h"

namespace brisk {
namespace {

KernelGrid view_of(const Grid& grid) {
  return {grid.e.buffer.data(), grid.h.buffer.data(), grid.e.edge, grid.h.edge, grid.ce, grid.ch,
          grid.cell_volume};
}

// The energy measures are scalar in every variant; fma uses the avx build.
template <class Tag>
struct EnergyIsa {
  using type = Tag;
};
template <>
struct EnergyIsa<Fma> {
  using type = Avx;
};

}  // namespace

template <class Tag>
bool update_h(Grid& grid) {
  return sweep_h<Tag>(view_of(grid));
}

template <class Tag>
bool update_e(Grid& grid) {
  return sweep_e<Tag>(view_of(grid));
}

template <class Tag>
double node_energy(const Grid& grid, std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  return point_energy<typename EnergyIsa<Tag>::type>(view_of(grid), a, b, c);
}

template <class Tag>
double total_energy(const Grid& grid) {
  return grid_energy<typename EnergyIsa<Tag>::type>(view_of(grid));
}

#define BRISK_INSTANTIATE_KERNELS(Tag)                                                        \
  template bool update_h<Tag>(Grid&);                                                         \
  template bool update_e<Tag>(Grid&);                                                         \
  template double node_energy<Tag>(const Grid&, std::uint64_t, std::uint64_t, std::uint64_t); \
  template double total_energy<Tag>(const Grid&);

BRISK_INSTANTIATE_KERNELS(Sse2)
BRISK_INSTANTIATE_KERNELS(Avx)
BRISK_INSTANTIATE_KERNELS(Avx2)
BRISK_INSTANTIATE_KERNELS(Fma)

#undef BRISK_INSTANTIATE_KERNELS

}  // namespace brisk
