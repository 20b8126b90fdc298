// The same model through every ISA variant: the scalar builds must give the
// same bits, the fused one the same values within 1e-12.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "solver/soft_gaussian.h"
#include "solver_test_support.h"

namespace brisk {
namespace {

template <class Tag>
std::unique_ptr<SoftGaussian<Tag>> run_soft_gaussian(int steps) {
  auto workload = std::make_unique<SoftGaussian<Tag>>(0);
  EXPECT_EQ(workload->allocate_fields(FieldConfig{testing::heap(), 64, 0.01}), std::nullopt);
  EXPECT_EQ(workload->init_fields(), std::nullopt);
  for (int t = 0; t < steps; ++t) {
    EXPECT_EQ(workload->apply_source(t), std::nullopt);
    EXPECT_EQ(workload->step(), std::nullopt);
    EXPECT_EQ(workload->verify_step(t), std::nullopt);
  }
  return workload;
}

double max_relative_difference(const Field& a, const Field& b) {
  double worst = 0.0;
  const double* p = &a.buffer.data()[0].x;
  const double* q = &b.buffer.data()[0].x;
  for (std::uint64_t i = 0; i < a.buffer.count() * 4; ++i) {
    const double scale = std::fmax(std::fabs(p[i]), std::fabs(q[i]));
    if (scale > 0.0) worst = std::fmax(worst, std::fabs(p[i] - q[i]) / scale);
  }
  return worst;
}

TEST(CrossVariant, SoftGaussianAfter40Steps) {
  const auto sse2 = run_soft_gaussian<Sse2>(40);
  int compared = 0;
  auto expect_same_bits = [&](const auto& other) {
    EXPECT_TRUE(testing::same_bits(sse2->grid().e, other->grid().e));
    EXPECT_TRUE(testing::same_bits(sse2->grid().h, other->grid().h));
    EXPECT_EQ(sse2->energy_acc(), other->energy_acc());
    ++compared;
  };
  if (testing::runs_here<Avx>()) expect_same_bits(run_soft_gaussian<Avx>(40));
  if (testing::runs_here<Avx2>()) expect_same_bits(run_soft_gaussian<Avx2>(40));
  if (testing::runs_here<Fma>()) {
    const auto fma = run_soft_gaussian<Fma>(40);
    EXPECT_LE(max_relative_difference(sse2->grid().e, fma->grid().e), 1e-12);
    EXPECT_LE(max_relative_difference(sse2->grid().h, fma->grid().h), 1e-12);
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "only sse2 runs on this processor";
}

}  // namespace
}  // namespace brisk
