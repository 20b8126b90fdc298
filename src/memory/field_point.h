// One lattice point of one field: three components and a pad lane, exactly
// one 256-bit vector, so whole-point vector arithmetic is possible.
#pragma once

namespace brisk {

struct FieldPoint {
  double x;
  double y;
  double z;
  double pad;  // always 0
};
static_assert(sizeof(FieldPoint) == 32);

}  // namespace brisk
