// The sweeps and energy measures of every ISA variant, against the
// properties the solver rests on and against a plain reference sweep.
#include "solver/kernels.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "solver_test_support.h"

namespace brisk {
namespace {

using testing::fill_random;
using testing::make_grid;
using testing::same_bits;

// The textbook sweeps, point by point, written independently of the kernels.
void reference_update_h(Grid& g) {
  const std::uint64_t n = g.e.edge - 2;
  for (std::uint64_t x = 1; x < n; ++x)
    for (std::uint64_t y = 1; y < n; ++y)
      for (std::uint64_t z = 1; z < n; ++z) {
        const FieldPoint& e = g.e.at(x, y, z);
        const double cx = (g.e.at(x, y + 1, z).z - e.z) - (g.e.at(x, y, z + 1).y - e.y);
        const double cy = (g.e.at(x, y, z + 1).x - e.x) - (g.e.at(x + 1, y, z).z - e.z);
        const double cz = (g.e.at(x + 1, y, z).y - e.y) - (g.e.at(x, y + 1, z).x - e.x);
        FieldPoint& h = g.h.at(x, y, z);
        h.x = h.x - g.ch * cx;
        h.y = h.y - g.ch * cy;
        h.z = h.z - g.ch * cz;
      }
}

void reference_update_e(Grid& g) {
  const std::uint64_t n = g.e.edge - 2;
  for (std::uint64_t x = 2; x <= n; ++x)
    for (std::uint64_t y = 2; y <= n; ++y)
      for (std::uint64_t z = 2; z <= n; ++z) {
        const FieldPoint& h = g.h.at(x, y, z);
        const double cx = (h.z - g.h.at(x, y - 1, z).z) - (h.y - g.h.at(x, y, z - 1).y);
        const double cy = (h.x - g.h.at(x, y, z - 1).x) - (h.z - g.h.at(x - 1, y, z).z);
        const double cz = (h.y - g.h.at(x - 1, y, z).y) - (h.x - g.h.at(x, y - 1, z).x);
        FieldPoint& e = g.e.at(x, y, z);
        e.x = e.x + g.ce * cx;
        e.y = e.y + g.ce * cy;
        e.z = e.z + g.ce * cz;
      }
}

template <class Tag>
class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { BRISK_SKIP_UNLESS_SUPPORTED(Tag); }
};
TYPED_TEST_SUITE(KernelTest, testing::AllIsas, testing::IsaNames);

TYPED_TEST(KernelTest, ZeroFieldsStayZero) {
  Grid grid = make_grid(16);
  Grid zero = make_grid(16);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(update_h<TypeParam>(grid));
    ASSERT_TRUE(update_e<TypeParam>(grid));
  }
  EXPECT_TRUE(same_bits(grid.e, zero.e));
  EXPECT_TRUE(same_bits(grid.h, zero.h));
}

// E.x depending on x only and E.y on y only has zero curl: nothing may move.
TYPED_TEST(KernelTest, CurlFreeFieldIsBitIdentical) {
  Grid grid = make_grid(20);
  const std::uint64_t edge = grid.e.edge;
  for (std::uint64_t x = 1; x + 1 < edge; ++x)
    for (std::uint64_t y = 1; y + 1 < edge; ++y)
      for (std::uint64_t z = 1; z + 1 < edge; ++z) {
        grid.e.at(x, y, z) = FieldPoint{0.3 + 0.1 * x * x, -1.7 / (y + 1.0), 0.0, 0.0};
      }
  Grid initial = make_grid(20);
  testing::copy_field(grid.e, initial.e);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(update_h<TypeParam>(grid));
    ASSERT_TRUE(update_e<TypeParam>(grid));
  }
  EXPECT_TRUE(same_bits(grid.e, initial.e));
  EXPECT_TRUE(same_bits(grid.h, initial.h));
}

TYPED_TEST(KernelTest, SingleSpikeGivesFourHComponents) {
  Grid grid = make_grid(8);
  const std::uint64_t c = 4;
  const double s = 3.0;
  grid.e.at(c, c, c).z = s;
  ASSERT_TRUE(update_h<TypeParam>(grid));
  EXPECT_EQ(grid.h.at(c, c - 1, c).x, -s / 2);
  EXPECT_EQ(grid.h.at(c, c, c).x, s / 2);
  EXPECT_EQ(grid.h.at(c - 1, c, c).y, s / 2);
  EXPECT_EQ(grid.h.at(c, c, c).y, -s / 2);
  int nonzero = 0;
  for (std::uint64_t i = 0; i < grid.h.buffer.count(); ++i) {
    const FieldPoint& p = grid.h.buffer.data()[i];
    nonzero += (p.x != 0.0) + (p.y != 0.0) + (p.z != 0.0) + (p.pad != 0.0);
  }
  EXPECT_EQ(nonzero, 4);
}

// Random fields everywhere, boundaries included: the sweeps must agree with
// the reference inside their ranges and leave every other point (and every
// pad) exactly as it was.
TYPED_TEST(KernelTest, MatchesReferenceAndLeavesBoundariesAlone) {
  const std::uint64_t n = 13;
  Grid grid = make_grid(n);
  Grid expected = make_grid(n);
  fill_random(grid.e, 1);
  fill_random(grid.h, 2);
  testing::copy_field(grid.e, expected.e);
  testing::copy_field(grid.h, expected.h);

  ASSERT_TRUE(update_h<TypeParam>(grid));
  reference_update_h(expected);
  EXPECT_TRUE(same_bits(grid.h, expected.h));
  EXPECT_TRUE(same_bits(grid.e, expected.e));

  ASSERT_TRUE(update_e<TypeParam>(grid));
  reference_update_e(expected);
  EXPECT_TRUE(same_bits(grid.e, expected.e));
  EXPECT_TRUE(same_bits(grid.h, expected.h));
}

TYPED_TEST(KernelTest, BoundaryPlanesNeverChange) {
  const std::uint64_t n = 10;
  Grid grid = make_grid(n);
  fill_random(grid.e, 3);
  fill_random(grid.h, 4);
  Grid before = make_grid(n);
  testing::copy_field(grid.e, before.e);
  testing::copy_field(grid.h, before.h);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(update_h<TypeParam>(grid));
    ASSERT_TRUE(update_e<TypeParam>(grid));
  }
  auto on = [](std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t v) {
    return a == v || b == v || c == v;
  };
  int e_changed = 0, h_changed = 0, pads = 0;
  for (std::uint64_t x = 0; x < n + 2; ++x)
    for (std::uint64_t y = 0; y < n + 2; ++y)
      for (std::uint64_t z = 0; z < n + 2; ++z) {
        const bool e_frozen = on(x, y, z, 0) || on(x, y, z, 1) || on(x, y, z, n + 1);
        const bool h_frozen = on(x, y, z, 0) || on(x, y, z, n) || on(x, y, z, n + 1);
        const FieldPoint& e = grid.e.at(x, y, z);
        const FieldPoint& h = grid.h.at(x, y, z);
        if (e_frozen && std::memcmp(&e, &before.e.at(x, y, z), sizeof e) != 0) ++e_changed;
        if (h_frozen && std::memcmp(&h, &before.h.at(x, y, z), sizeof h) != 0) ++h_changed;
        pads += (e.pad != 0.0) + (h.pad != 0.0);
      }
  EXPECT_EQ(e_changed, 0);
  EXPECT_EQ(h_changed, 0);
  EXPECT_EQ(pads, 0);
}

TYPED_TEST(KernelTest, NoGridNoSweep) {
  Grid empty;
  EXPECT_FALSE(update_h<TypeParam>(empty));
  EXPECT_FALSE(update_e<TypeParam>(empty));
  EXPECT_EQ(total_energy<TypeParam>(empty), 0.0);
  Grid size_zero = make_grid(0);  // edge 2: nothing inside
  EXPECT_FALSE(update_h<TypeParam>(size_zero));
  EXPECT_FALSE(update_e<TypeParam>(size_zero));
  Grid size_one = make_grid(1);  // the loops run zero times and end where they should
  EXPECT_TRUE(update_h<TypeParam>(size_one));
  EXPECT_TRUE(update_e<TypeParam>(size_one));
  EXPECT_EQ(total_energy<TypeParam>(size_one), 0.0);
}

TYPED_TEST(KernelTest, EnergyExamples) {
  Grid grid = make_grid(8);
  EXPECT_EQ(total_energy<TypeParam>(grid), 0.0);
  grid.e.at(3, 4, 5).x = 1.0;
  EXPECT_EQ(node_energy<TypeParam>(grid, 3, 4, 5), 0.5 * grid.cell_volume);
  EXPECT_EQ(total_energy<TypeParam>(grid), 0.5 * grid.cell_volume);

  // Each H component is averaged with its neighbour down its own axis.
  grid.h.at(2, 4, 5).x = 2.0;
  grid.h.at(3, 4, 5).x = 4.0;  // hx = 3
  grid.h.at(3, 3, 5).y = 1.0;  // hy = 0.5
  grid.h.at(3, 4, 4).z = -2.0;
  grid.h.at(3, 4, 5).z = 2.0;  // hz = 0
  grid.h.at(3, 4, 6).z = 8.0;  // not a neighbour of (3, 4, 5)
  const double expected = (0.5 * grid.cell_volume) * (1.0 + (0.25 + 9.0));
  EXPECT_EQ(node_energy<TypeParam>(grid, 3, 4, 5), expected);
}

TYPED_TEST(KernelTest, TotalEnergyIsTheRunningSumOfNodeEnergies) {
  const std::uint64_t n = 9;
  Grid grid = make_grid(n);
  fill_random(grid.e, 5);
  fill_random(grid.h, 6);
  double sum = 0.0;
  for (std::uint64_t x = 2; x <= n; ++x)
    for (std::uint64_t y = 2; y <= n; ++y)
      for (std::uint64_t z = 2; z <= n; ++z) sum += node_energy<TypeParam>(grid, x, y, z);
  EXPECT_EQ(total_energy<TypeParam>(grid), sum);
}

// We test what we think we test: with a coefficient whose products round,
// the fused update of the fma variant must differ from the two-step scalar
// one somewhere (it is really different code), yet only in the last bits.
TEST(KernelVariants, FmaRoundsOnceWhereScalarRoundsTwice) {
  BRISK_SKIP_UNLESS_SUPPORTED(Fma);
  Grid scalar = make_grid(12);
  Grid fused = make_grid(12);
  fill_random(scalar.e, 7);
  fill_random(scalar.h, 8);
  testing::copy_field(scalar.e, fused.e);
  testing::copy_field(scalar.h, fused.h);
  scalar.ch = fused.ch = 1.0 / 3.0;
  ASSERT_TRUE(update_h<Sse2>(scalar));
  ASSERT_TRUE(update_h<Fma>(fused));
  int differing = 0;
  for (std::uint64_t i = 0; i < scalar.h.buffer.count(); ++i) {
    const FieldPoint& a = scalar.h.buffer.data()[i];
    const FieldPoint& b = fused.h.buffer.data()[i];
    differing += (a.x != b.x) + (a.y != b.y) + (a.z != b.z);
    EXPECT_NEAR(a.x, b.x, 1e-15);
    EXPECT_NEAR(a.y, b.y, 1e-15);
    EXPECT_NEAR(a.z, b.z, 1e-15);
  }
  EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace brisk
