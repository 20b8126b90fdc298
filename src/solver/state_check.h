// The whole grid compared, bit for bit, with a state known exactly.
#pragma once

#include <cstdint>
#include <optional>

#include "solver/grid.h"
#include "solver/grid_mismatch.h"

namespace brisk {

// Compares every value of both fields with the state where E(x, y, z) is
// (row[x], row[y], 0, 0) on the interior [1, N]^3 and 0 on the outer layer,
// and H is 0 everywhere, pads included. `row` holds edge values. Bits are
// compared, not doubles: under denormals-are-zero a denormal equals 0, and
// -0 equals +0. None when every bit matches.
std::optional<GridMismatch> check_row_pattern(const Grid& grid, const double* row);

}  // namespace brisk
