#include "solver/grid_mismatch.h"

#include <fmt/format.h>

namespace brisk {

std::string mismatch_place(const GridMismatch& mismatch) {
  static const char* const components[] = {"x", "y", "z", "pad"};
  const int c = mismatch.component >= 0 && mismatch.component < 4 ? mismatch.component : 3;
  return fmt::format("{}({}, {}, {}).{}", mismatch.field, mismatch.x, mismatch.y, mismatch.z,
                     components[c]);
}

// fmt's shortest round-trip form: two different doubles never print alike.
std::string exact_double(double value) { return fmt::format("{}", value); }

}  // namespace brisk
