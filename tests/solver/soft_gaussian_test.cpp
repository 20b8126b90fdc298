// soft_gaussian: the source, the energy account and the ratio table.
#include "solver/soft_gaussian.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "solver_test_support.h"

namespace brisk {
namespace {

template <class Tag>
class SoftGaussianTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BRISK_SKIP_UNLESS_SUPPORTED(Tag);
    ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
    ASSERT_EQ(workload.init_fields(), std::nullopt);
  }
  double ratio() const { return workload.energy_acc() / total_energy<Tag>(workload.grid()); }
  SoftGaussian<Tag> workload{4};
};
TYPED_TEST_SUITE(SoftGaussianTest, testing::AllIsas, testing::IsaNames);

TYPED_TEST(SoftGaussianTest, InjectionAtTimeZero) {
  const Grid& grid = this->workload.grid();
  EXPECT_EQ(this->workload.energy_acc(), 0.0);
  EXPECT_EQ(this->workload.source_e_coeff(), 0.005);
  EXPECT_EQ(this->workload.source_h_coeff(), 0.005);
  EXPECT_EQ(total_energy<TypeParam>(grid), 0.0);

  ASSERT_EQ(this->workload.apply_source(0), std::nullopt);
  const double kick = -(std::exp(-8.0) * 200.0 * 0.005);
  EXPECT_DOUBLE_EQ(grid.e.at(33, 33, 33).z, kick);
  EXPECT_DOUBLE_EQ(grid.h.at(33, 33, 33).y, kick);
  int nonzero = 0;
  for (const Field* field : {&grid.e, &grid.h}) {
    for (std::uint64_t i = 0; i < field->buffer.count(); ++i) {
      const FieldPoint& p = field->buffer.data()[i];
      nonzero += (p.x != 0.0) + (p.y != 0.0) + (p.z != 0.0) + (p.pad != 0.0);
    }
  }
  EXPECT_EQ(nonzero, 2);
  EXPECT_DOUBLE_EQ(this->workload.energy_acc(), kick * kick * grid.cell_volume);
}

TYPED_TEST(SoftGaussianTest, EveryCheckPassesWithTheExpectedRatios) {
  for (std::uint64_t t = 0; t <= 124; ++t) {
    ASSERT_EQ(this->workload.apply_source(t), std::nullopt) << t;
    ASSERT_EQ(this->workload.step(), std::nullopt) << t;
    ASSERT_EQ(this->workload.verify_step(t), std::nullopt) << t;
    const std::string ratio = fixed6(this->ratio());
    if (t == 0 || t == 1) {
      EXPECT_EQ(ratio, "1.333333") << t;
    } else if (t == 2) {
      EXPECT_EQ(ratio, "1.346955");
    } else if (t == 36) {
      EXPECT_EQ(ratio, "1.518916");
    }
    if (t > 36) {
      EXPECT_GT(this->ratio(), 1.5189) << t;
      EXPECT_LT(this->ratio(), 1.5197) << t;
    }
  }
  EXPECT_EQ(this->workload.validate_result(125), std::nullopt);
  EXPECT_EQ(this->workload.validate_result(0), std::nullopt);
}

TEST(SoftGaussian, EmptyGridFailsTheRatioCheck) {
  SoftGaussian<Sse2> workload(12);
  ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
  ASSERT_EQ(workload.init_fields(), std::nullopt);
  const std::optional<std::string> failure = workload.verify_step(0);  // 0 / 0
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(
      failure->rfind("\nenergy ratio failure in thread 12\nenergy_acc = 0.000000\nenergy_calc = "
                     "0.000000\nratio = ",
                     0),
      0u)
      << *failure;
  EXPECT_NE(failure->find("nan"), std::string::npos) << *failure;
}

TEST(SoftGaussian, WrongRatioFailsWithItsValues) {
  SoftGaussian<Sse2> workload(2);
  ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
  ASSERT_EQ(workload.init_fields(), std::nullopt);
  ASSERT_EQ(workload.apply_source(0), std::nullopt);
  ASSERT_EQ(workload.step(), std::nullopt);
  // Doubling the field quadruples the grid energy: ratio about 1.333 / 4.
  Grid& grid = workload.grid();
  for (std::uint64_t i = 0; i < grid.e.buffer.count(); ++i) {
    grid.e.buffer.data()[i].z *= 2.0;
    grid.h.buffer.data()[i].x *= 2.0;
    grid.h.buffer.data()[i].y *= 2.0;
  }
  const double calc = total_energy<Sse2>(grid);
  EXPECT_EQ(workload.verify_step(0),
            "\nenergy ratio failure in thread 2\nenergy_acc = " + fixed6(workload.energy_acc()) +
                "\nenergy_calc = " + fixed6(calc) +
                "\nratio = " + fixed6(workload.energy_acc() / calc));
}

TEST(EnergyRatioTable, LookupByIteration) {
  auto same = [](EnergyRatioRow a, EnergyRatioRow b) {
    return a.threshold == b.threshold && a.tolerance == b.tolerance &&
           a.expected_ratio == b.expected_ratio;
  };
  EXPECT_TRUE(same(energy_ratio_for(0), kFallbackEnergyRatio));
  EXPECT_EQ(energy_ratio_for(0).tolerance, 0.1);
  EXPECT_EQ(energy_ratio_for(0).expected_ratio, 1.33333);
  EXPECT_TRUE(same(energy_ratio_for(1), energy_ratio_table[34]));
  EXPECT_TRUE(same(energy_ratio_for(2), energy_ratio_table[33]));
  EXPECT_EQ(energy_ratio_for(2).tolerance, 0.05);
  EXPECT_EQ(energy_ratio_for(3).expected_ratio, 1.34695);
  EXPECT_TRUE(same(energy_ratio_for(37), energy_ratio_table[2]));
  EXPECT_TRUE(same(energy_ratio_for(116), energy_ratio_table[1]));
  EXPECT_TRUE(same(energy_ratio_for(117), energy_ratio_table[0]));
  EXPECT_TRUE(same(energy_ratio_for(~std::uint64_t{0}), energy_ratio_table[0]));
  // Thresholds strictly descend, so the scan finds the tightest row.
  for (std::size_t i = 1; i < energy_ratio_table.size(); ++i) {
    EXPECT_GT(energy_ratio_table[i - 1].threshold, energy_ratio_table[i].threshold) << i;
  }
}

}  // namespace
}  // namespace brisk
