#include "solver/grid.h"

#include <cmath>
#include <limits>

#include "memory/memory_sizing.h"

namespace brisk {
namespace {

// edge^3, or a count the buffer refuses when that overflows 64 bits.
std::uint64_t cube_or_refused(std::uint64_t edge) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  if (edge != 0 && (edge > kMax / edge || edge * edge > kMax / edge)) return kMaxFieldPoints + 1;
  return edge * edge * edge;
}

}  // namespace

Field::Field(std::uint64_t edge, const FieldAllocator& allocator)
    : edge(edge), buffer(cube_or_refused(edge), allocator) {}

Grid::Grid(const FieldConfig& config)
    : e(config.grid_size + 2, config.allocator),
      h(config.grid_size + 2, config.allocator),
      dx(config.spacing),
      dt(config.spacing * 0.5),
      cell_volume(std::pow(config.spacing, 3.0)),
      ce((config.spacing * 0.5) / config.spacing),
      ch((config.spacing * 0.5) / config.spacing) {}

}  // namespace brisk
