// Helpers shared by the solver tests: the ISA list for typed tests, the skip
// for variants this processor lacks, and small grid utilities.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "memory/field_allocator.h"
#include "solver/grid.h"
#include "solver/isa.h"
#include "solver/workload_factory.h"

namespace brisk::testing {

using AllIsas = ::testing::Types<Sse2, Avx, Avx2, Fma>;

struct IsaNames {
  template <class Tag>
  static std::string GetName(int) {
    return std::string(isa_name(Tag{}));
  }
};

template <class Tag>
bool runs_here() {
  return !check_isa_support(isa_name(Tag{})).has_value();
}

#define BRISK_SKIP_UNLESS_SUPPORTED(Tag)                                 \
  if (!::brisk::testing::runs_here<Tag>()) {                             \
    GTEST_SKIP() << "this processor lacks " << ::brisk::isa_name(Tag{}); \
  }

inline const FieldAllocator& heap() {
  static const FieldAllocator allocator{};
  return allocator;
}

inline Grid make_grid(std::uint64_t n) { return Grid(FieldConfig{heap(), n, 0.01}); }

// Whether two fields hold the same bits everywhere, pads included.
inline bool same_bits(const Field& a, const Field& b) {
  return a.edge == b.edge && a.buffer.count() == b.buffer.count() &&
         std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.count() * sizeof(FieldPoint)) == 0;
}

// Flips bit `bit` of component `component` (3: the pad lane) of one point of
// `field`, in place, as an unstable core might.
inline void flip_bit(Field& field, std::uint64_t x, std::uint64_t y, std::uint64_t z, int component,
                     int bit) {
  double* lanes = &field.at(x, y, z).x;
  std::uint64_t bits;
  std::memcpy(&bits, &lanes[component], sizeof bits);
  bits ^= std::uint64_t{1} << bit;
  std::memcpy(&lanes[component], &bits, sizeof bits);
}

inline std::uint64_t bits_of(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline void copy_field(const Field& from, Field& to) {
  std::memcpy(to.buffer.data(), from.buffer.data(), from.buffer.count() * sizeof(FieldPoint));
}

// Random components in [-1, 1] on every point, boundaries included; pads 0.
inline void fill_random(Field& field, std::uint32_t seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (std::uint64_t i = 0; i < field.buffer.count(); ++i) {
    FieldPoint& p = field.buffer.data()[i];
    p.x = value(engine);
    p.y = value(engine);
    p.z = value(engine);
    p.pad = 0.0;
  }
}

}  // namespace brisk::testing
