// standing_wave: the initial field, the recorded sample nodes and both checks.
#include "solver/standing_wave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "solver/state_check.h"
#include "solver_test_support.h"

namespace brisk {
namespace {

template <class Tag>
class StandingWaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BRISK_SKIP_UNLESS_SUPPORTED(Tag);
    ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
    ASSERT_EQ(workload.init_fields(), std::nullopt);
  }
  StandingWave<Tag> workload{3};
};
TYPED_TEST_SUITE(StandingWaveTest, testing::AllIsas, testing::IsaNames);

TYPED_TEST(StandingWaveTest, InitialField) {
  const Grid& grid = this->workload.grid();
  const double s = std::sin((1.0 * (2.0 * 3.141592653589793)) / 65.0);
  const FieldPoint& p = grid.e.at(1, 1, 1);
  EXPECT_EQ(p.x, s);
  EXPECT_EQ(p.y, s);
  EXPECT_EQ(p.z, 0.0);
  EXPECT_EQ(p.pad, 0.0);
  EXPECT_EQ(grid.e.at(5, 9, 40).x, std::sin((5.0 * (2.0 * 3.141592653589793)) / 65.0));
  EXPECT_EQ(grid.e.at(5, 9, 40).y, std::sin((9.0 * (2.0 * 3.141592653589793)) / 65.0));
  int outer_nonzero = 0;
  for (std::uint64_t a = 0; a < 66; ++a)
    for (std::uint64_t b = 0; b < 66; ++b)
      for (std::uint64_t face : {std::uint64_t{0}, std::uint64_t{65}}) {
        for (const FieldPoint* q :
             {&grid.e.at(face, a, b), &grid.e.at(a, face, b), &grid.e.at(a, b, face)}) {
          outer_nonzero += (q->x != 0.0) + (q->y != 0.0) + (q->z != 0.0);
        }
      }
  EXPECT_EQ(outer_nonzero, 0);
  for (std::uint64_t i = 0; i < grid.h.buffer.count(); ++i) {
    const FieldPoint& h = grid.h.buffer.data()[i];
    ASSERT_TRUE(h.x == 0.0 && h.y == 0.0 && h.z == 0.0) << i;
  }
  EXPECT_EQ(this->workload.energy_init(), total_energy<TypeParam>(grid));
  EXPECT_GT(this->workload.energy_init(), 0.0);
}

TYPED_TEST(StandingWaveTest, SampleNodesForN64) {
  ASSERT_EQ(this->workload.validation_count(), 8u);
  const double* values = this->workload.validation_values();
  const std::uint64_t coords[2] = {17, 33};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) {
        const double value = values[(i * 2 + j) * 2 + k];
        EXPECT_NE(value, 0.0);
        EXPECT_EQ(value,
                  node_energy<TypeParam>(this->workload.grid(), coords[i], coords[j], coords[k]));
      }
}

TYPED_TEST(StandingWaveTest, StepsChangeNothingAndEveryCheckPasses) {
  Grid initial = testing::make_grid(64);
  testing::copy_field(this->workload.grid().e, initial.e);
  for (std::uint64_t i = 0; i < 5; ++i) {
    EXPECT_EQ(this->workload.apply_source(i), std::nullopt);
    ASSERT_EQ(this->workload.step(), std::nullopt);
    ASSERT_EQ(this->workload.verify_step(i), std::nullopt);
  }
  EXPECT_TRUE(testing::same_bits(this->workload.grid().e, initial.e));
  EXPECT_TRUE(testing::same_bits(this->workload.grid().h, initial.h));
  EXPECT_EQ(total_energy<TypeParam>(this->workload.grid()), this->workload.energy_init());
  EXPECT_EQ(this->workload.validate_result(5), std::nullopt);
  EXPECT_EQ(this->workload.apply_source(~std::uint64_t{0}), std::nullopt);
}

TYPED_TEST(StandingWaveTest, PerturbedNodeFailsWithItsValues) {
  Grid& grid = this->workload.grid();
  const double init = this->workload.validation_values()[0];
  grid.e.at(17, 17, 17).x *= 1.0001;
  const double calc = node_energy<TypeParam>(grid, 17, 17, 17);
  const std::optional<std::string> failure = this->workload.verify_step(0);
  ASSERT_TRUE(failure.has_value());
  const double ratio = std::fabs(init / calc - 1.0);
  EXPECT_GT(ratio, 5e-5);
  EXPECT_LT(ratio, 2e-4);
  EXPECT_EQ(*failure, "\nnode verification failure in thread 3\ninit_val = " + fixed6(init) +
                          "\ncalc_val = " + fixed6(calc) + "\nratio = " + fixed6(ratio));
  EXPECT_NE(failure->find("\nratio = 0.0001"), std::string::npos) << *failure;
}

TYPED_TEST(StandingWaveTest, TotalEnergyCheck) {
  Grid& grid = this->workload.grid();
  // About 3% more energy: inside the 0.1 tolerance.
  for (std::uint64_t i = 0; i < grid.e.buffer.count(); ++i) grid.e.buffer.data()[i].x *= 1.03;
  EXPECT_EQ(this->workload.validate_result(0), std::nullopt);
  // Twice the field, four times the energy: the ratio 0.25 fails.
  for (std::uint64_t i = 0; i < grid.e.buffer.count(); ++i) {
    grid.e.buffer.data()[i].x *= 2.0 / 1.03;
    grid.e.buffer.data()[i].y *= 2.0;
  }
  const double calc = total_energy<TypeParam>(grid);
  const double init = this->workload.energy_init();
  EXPECT_EQ(this->workload.validate_result(0),
            "\nenergy ratio failure in thread 3\nenergy_init = " + fixed6(init) +
                "\nenergy_calc = " + fixed6(calc) + "\nratio = " + fixed6(init / calc));
  EXPECT_EQ(fixed6(init / calc).substr(0, 4), "0.25");
}

TYPED_TEST(StandingWaveTest, WholeGridMatchesBitForBitAfter100Steps) {
  for (std::uint64_t i = 0; i < 100; ++i) ASSERT_EQ(this->workload.step(), std::nullopt);
  EXPECT_EQ(this->workload.check_state(), std::nullopt);
}

// One flipped bit anywhere, at the lowest, a middle or the highest mantissa
// bit, is one wrong value with its place and both values. The node check
// misses the low bits, and under denormals-are-zero H's lowest bit flipped
// (a denormal) even compares equal to 0.
TYPED_TEST(StandingWaveTest, OneFlippedBitIsFoundWhereverItIs) {
  struct Case {
    char field;
    std::uint64_t x, y, z;
    int component;
    int bit;
    const char* place;
  };
  const Case cases[] = {
      {'E', 20, 21, 22, 0, 0, "E(20, 21, 22).x"},  {'E', 20, 21, 22, 1, 26, "E(20, 21, 22).y"},
      {'E', 20, 21, 22, 0, 51, "E(20, 21, 22).x"}, {'E', 7, 3, 64, 2, 0, "E(7, 3, 64).z"},
      {'E', 0, 5, 9, 1, 26, "E(0, 5, 9).y"},       {'E', 65, 65, 65, 3, 51, "E(65, 65, 65).pad"},
      {'H', 20, 21, 22, 0, 0, "H(20, 21, 22).x"},  {'H', 64, 64, 64, 2, 26, "H(64, 64, 64).z"},
      {'H', 1, 1, 1, 1, 51, "H(1, 1, 1).y"},       {'H', 0, 0, 0, 3, 0, "H(0, 0, 0).pad"},
  };
  Grid& grid = this->workload.grid();
  for (const Case& c : cases) {
    Field& field = c.field == 'E' ? grid.e : grid.h;
    const double before = (&field.at(c.x, c.y, c.z).x)[c.component];
    testing::flip_bit(field, c.x, c.y, c.z, c.component, c.bit);
    const std::optional<GridMismatch> found = this->workload.check_state();
    ASSERT_TRUE(found.has_value()) << c.place << " bit " << c.bit;
    EXPECT_EQ(found->wrong_values, 1u) << c.place;
    EXPECT_EQ(found->checked_values, 2u * 4 * 66 * 66 * 66);
    EXPECT_EQ(mismatch_place(*found), c.place);
    EXPECT_EQ(testing::bits_of(found->expected), testing::bits_of(before));
    EXPECT_EQ(testing::bits_of(found->found) ^ testing::bits_of(before), std::uint64_t{1} << c.bit);
    testing::flip_bit(field, c.x, c.y, c.z, c.component, c.bit);  // put back
    ASSERT_EQ(this->workload.check_state(), std::nullopt) << c.place;
  }
}

// A flip before the steps spreads through the grid; the lowest bit leaves the
// node check passing, the whole-grid comparison does not.
TYPED_TEST(StandingWaveTest, FlipBeforeStepsSpreadsAndIsCounted) {
  testing::flip_bit(this->workload.grid().e, 20, 21, 22, 0, 0);
  for (std::uint64_t i = 0; i < 20; ++i) {
    ASSERT_EQ(this->workload.step(), std::nullopt);
    ASSERT_EQ(this->workload.verify_step(i), std::nullopt);
  }
  const std::optional<GridMismatch> found = this->workload.check_state();
  ASSERT_TRUE(found.has_value());
  EXPECT_GT(found->wrong_values, 1000u);
}

// The fma sweeps write all four lanes: a pad lane that is not 0 reaches H's
// pads through the differences, and every such lane is a wrong value. (A
// mantissa bit of a zero lane makes a denormal, which denormals-are-zero
// reads as 0 and the next sweep overwrites: the exponent bit stays.)
TEST(StandingWave, FlippedPadLaneInTheFmaVariant) {
  BRISK_SKIP_UNLESS_SUPPORTED(Fma);
  StandingWave<Fma> workload(0);
  ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
  ASSERT_EQ(workload.init_fields(), std::nullopt);
  testing::flip_bit(workload.grid().e, 30, 30, 30, 3, 62);  // 0 becomes 2
  for (int i = 0; i < 3; ++i) ASSERT_EQ(workload.step(), std::nullopt);
  const std::optional<GridMismatch> found = workload.check_state();
  ASSERT_TRUE(found.has_value());
  // It has spread through H's pads into E's, three points each way.
  EXPECT_EQ(mismatch_place(*found), "E(27, 30, 33).pad");
  EXPECT_EQ(testing::bits_of(found->expected), 0u);
  EXPECT_NE(found->found, 0.0);
  EXPECT_NE(workload.grid().e.at(30, 30, 30).pad, 0.0);
  EXPECT_GT(found->wrong_values, 10u);
}

TEST(StandingWave, MismatchTexts) {
  GridMismatch m;
  m.field = 'H';
  m.x = 1;
  m.y = 64;
  m.z = 0;
  m.component = 2;
  EXPECT_EQ(mismatch_place(m), "H(1, 64, 0).z");
  // Every different double prints differently, a denormal and -0 included.
  EXPECT_EQ(exact_double(0.1), "0.1");
  EXPECT_EQ(exact_double(0.30000000000000004), "0.30000000000000004");
  EXPECT_EQ(exact_double(4.9406564584124654e-324), "5e-324");
  EXPECT_EQ(exact_double(-0.0), "-0");
}

TEST(StandingWave, ZeroEnergyRatioFails) {
  StandingWave<Sse2> workload(9);
  ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
  ASSERT_EQ(workload.init_fields(), std::nullopt);
  Grid& grid = workload.grid();
  for (std::uint64_t i = 0; i < grid.e.buffer.count(); ++i) grid.e.buffer.data()[i] = {};
  // calc 0: an infinite energy ratio, and 0/0 node ratios.
  const std::optional<std::string> energy = workload.validate_result(0);
  ASSERT_TRUE(energy.has_value());
  EXPECT_EQ(energy->rfind("\nenergy ratio failure in thread 9\nenergy_init = ", 0), 0u);
  EXPECT_NE(energy->find("\nenergy_calc = 0.000000\nratio = inf"), std::string::npos) << *energy;
  const std::optional<std::string> node = workload.verify_step(0);
  ASSERT_TRUE(node.has_value());
  EXPECT_EQ(node->rfind("\nnode verification failure in thread 9\ninit_val = ", 0), 0u);
  EXPECT_NE(node->find("\ncalc_val = 0.000000\nratio = inf"), std::string::npos) << *node;
}

TEST(StandingWave, SampleCounts) {
  EXPECT_EQ(standing_wave_samples(66), 2u);
  EXPECT_EQ(standing_wave_samples(194), 10u);
  EXPECT_EQ(standing_wave_samples(8194), 510u);
  EXPECT_EQ(standing_wave_samples(18), 0u);  // N below 32: none
  EXPECT_EQ(standing_wave_samples(0), 0u);
}

}  // namespace
}  // namespace brisk
