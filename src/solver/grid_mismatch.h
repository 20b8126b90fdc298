// What a comparison of a whole grid with its exact state found wrong.
#pragma once

#include <cstdint>
#include <string>

namespace brisk {

struct GridMismatch {
  std::uint64_t wrong_values = 0;    // doubles whose bits differ from the exact state
  std::uint64_t checked_values = 0;  // every double of both fields, pads included
  // The first wrong value in memory order, E before H.
  char field = 'E';
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  std::uint64_t z = 0;
  int component = 0;  // 0, 1, 2: x, y, z; 3: the pad lane
  double expected = 0.0;
  double found = 0.0;
};

// "E(17, 20, 33).x": where the first wrong value lies.
std::string mismatch_place(const GridMismatch& mismatch);
// A double with as many digits as it takes to tell it from every other double
// ("0.7071067811865476", "-0", "5e-324").
std::string exact_double(double value);

}  // namespace brisk
