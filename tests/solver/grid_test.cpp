// Grid construction and FieldSolver's ownership of it.
#include <gtest/gtest.h>

#include <cstdint>

#include "memory/memory_stats.h"
#include "solver/soft_gaussian.h"
#include "solver/standing_wave.h"
#include "solver_test_support.h"

namespace brisk {
namespace {

bool all_zero(const Field& field) {
  for (std::uint64_t i = 0; i < field.buffer.count(); ++i) {
    const FieldPoint& p = field.buffer.data()[i];
    if (p.x != 0.0 || p.y != 0.0 || p.z != 0.0 || p.pad != 0.0) return false;
  }
  return true;
}

TEST(Grid, SizesAndCoefficientsForN64) {
  const Grid grid = testing::make_grid(64);
  EXPECT_EQ(grid.e.edge, 66u);
  EXPECT_EQ(grid.h.edge, 66u);
  EXPECT_EQ(grid.e.buffer.count(), 287'496u);
  EXPECT_EQ(grid.h.buffer.count() * sizeof(FieldPoint), 9'199'872u);
  EXPECT_TRUE(all_zero(grid.e));
  EXPECT_TRUE(all_zero(grid.h));
  EXPECT_EQ(grid.dx, 0.01);
  EXPECT_EQ(grid.dt, 0.005);
  EXPECT_EQ(grid.cell_volume, 1.0000000000000002e-06);
  EXPECT_EQ(grid.ce, 0.5);
  EXPECT_EQ(grid.ch, 0.5);
}

TEST(Grid, PointIndexRunsZFastest) {
  const Grid grid = testing::make_grid(64);
  EXPECT_EQ(grid.e.index(1, 2, 3), 4491u);
  EXPECT_EQ(&grid.e.at(1, 2, 3), grid.e.buffer.data() + 4491);
  EXPECT_EQ(grid.e.index(0, 0, 1), 1u);
  EXPECT_EQ(grid.e.index(0, 1, 0), 66u);
  EXPECT_EQ(grid.e.index(1, 0, 0), 66u * 66u);
}

TEST(FieldSolver, SecondAllocationGivesAZeroedGridAndReleasesTheFirst) {
  StandingWave<Sse2> workload(0);
  const FieldConfig config{testing::heap(), 64, 0.01};
  ASSERT_EQ(workload.allocate_fields(config), std::nullopt);
  ASSERT_EQ(workload.init_fields(), std::nullopt);  // fills E
  EXPECT_FALSE(all_zero(workload.grid().e));

  const FieldAllocatorCalls before = field_allocator_calls();
  ASSERT_EQ(workload.allocate_fields(config), std::nullopt);
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.allocations - before.allocations, 2u);
  EXPECT_EQ(after.deallocations - before.deallocations, 2u);
  EXPECT_TRUE(workload.fields_allocated());
  EXPECT_TRUE(all_zero(workload.grid().e));
  EXPECT_TRUE(all_zero(workload.grid().h));
  EXPECT_EQ(workload.updates_per_step(), 524'288u);
}

TEST(FieldSolver, DestructionReleasesBothFields) {
  const FieldAllocatorCalls before = field_allocator_calls();
  {
    StandingWave<Sse2> workload(0);
    EXPECT_EQ(workload.updates_per_step(), 0u);  // no grid yet
    ASSERT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), 16, 0.01}), std::nullopt);
    EXPECT_EQ(workload.updates_per_step(), 2u * 16 * 16 * 16);
  }
  const FieldAllocatorCalls after = field_allocator_calls();
  EXPECT_EQ(after.deallocations - before.deallocations, after.allocations - before.allocations);
  EXPECT_EQ(after.allocations - before.allocations, 2u);
}

// A grid that cannot exist fails with the allocation text, installs an empty
// grid and leaves nothing to release twice.
TEST(FieldSolver, GridLargerThanMemoryFailsCleanly) {
  const FieldAllocatorCalls before = field_allocator_calls();
  for (std::uint64_t n : {std::uint64_t{4096}, std::uint64_t{1} << 22}) {
    SoftGaussian<Sse2> workload(0);
    EXPECT_EQ(workload.allocate_fields(FieldConfig{testing::heap(), n, 0.01}),
              "field allocation failed")
        << n;
    EXPECT_TRUE(workload.fields_allocated());
    EXPECT_EQ(workload.grid().e.buffer.data(), nullptr);
    EXPECT_EQ(workload.grid().h.buffer.data(), nullptr);
    // Nothing beyond this point may touch the missing fields.
    EXPECT_EQ(workload.step(), "solver H step error in thread 0");
    EXPECT_EQ(workload.apply_source(0), "field allocation failed");
  }
  // 4096 is refused before the allocator (free memory); 2^22 overflows.
  EXPECT_EQ(field_allocator_calls().deallocations, before.deallocations);
}

TEST(FieldSolver, StepWithoutFieldsReportsTheHSweep) {
  StandingWave<Fma> workload(5);
  EXPECT_EQ(workload.step(), "solver H step error in thread 5");
  EXPECT_EQ(workload.init_fields(), "failed to initalize H field");
  EXPECT_EQ(workload.verify_step(0), std::nullopt);  // no sample nodes without a grid
}

}  // namespace
}  // namespace brisk
