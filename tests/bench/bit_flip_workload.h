// Test helper: the real standing_wave workload with one bit of one value
// flipped before a chosen step, as an unstable core would, and the seams that
// put it into a run in place of the real one.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "bench/run_seams.h"
#include "solver/isa.h"
#include "solver/solver_test_support.h"
#include "solver/standing_wave.h"
#include "solver/workload_factory.h"

namespace brisk::test {

struct FlipPlan {
  char field = 'E';                      // 'E' or 'H'
  std::uint64_t x = 20, y = 21, z = 22;  // off the sample nodes (17, 33, ...)
  int component = 0;                     // 0..2: x, y, z; 3: the pad lane
  int bit = 0;                           // 0: lowest mantissa bit, 51 highest
  std::uint64_t at_step = 10;            // flipped just before this step
  std::uint32_t thread = 0;              // in this thread's workload...
  int build = -1;                        // ...and, from 0, only the n-th built (-1: any)
};

// Flips the bit in place: what the kernels read next is the damaged value.
inline void flip_bit(Grid& grid, const FlipPlan& plan) {
  testing::flip_bit(plan.field == 'H' ? grid.h : grid.e, plan.x, plan.y, plan.z, plan.component,
                    plan.bit);
}

template <class Tag>
class BitFlipWorkload final : public StandingWave<Tag> {
 public:
  BitFlipWorkload(std::uint32_t index, FlipPlan plan) : StandingWave<Tag>(index), plan_(plan) {}
  std::optional<std::string> apply_source(std::uint64_t step) override {
    if (step == plan_.at_step) flip_bit(this->grid(), plan_);
    return std::nullopt;
  }

 private:
  FlipPlan plan_;
};

// The real standing_wave workload whatever the run names, except that the one
// the plan names flips its bit. `built` counts the workloads made so far.
inline RunSeams flip_seams(
    RunSeams seams, FlipPlan plan,
    std::shared_ptr<std::atomic<int>> built = std::make_shared<std::atomic<int>>(0)) {
  seams.make_workload = [plan, built](std::string_view, std::string_view isa,
                                      std::uint32_t index) -> std::unique_ptr<Workload> {
    const int number = built->fetch_add(1);
    // Whatever workload the run names: the flip needs standing_wave's exact state.
    const bool flips = index == plan.thread && (plan.build < 0 || plan.build == number);
    const std::optional<Isa> tag = parse_isa(isa);
    if (!flips || !tag) return make_workload("standing_wave", isa, index);
    return std::visit(
        [&](auto t) -> std::unique_ptr<Workload> {
          return std::make_unique<BitFlipWorkload<decltype(t)>>(index, plan);
        },
        *tag);
  };
  return seams;
}

}  // namespace brisk::test
