// The stability check: its order over the processors, what a row keeps of
// its rounds, the slow mark, and one real round through the run seams.
#include "bench/stability.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "bench/bit_flip_workload.h"
#include "bench/stability_core_run.h"
#include "memory/field_allocator.h"
#include "platform/threading.h"

namespace brisk {
namespace {

Core core_with(std::uint32_t id, std::vector<std::uint32_t> os_indexes) {
  Core core;
  core.id = id;
  for (std::uint32_t i = 0; i < os_indexes.size(); ++i) {
    core.logicals.push_back(LogicalProcessor{i, id, os_indexes[i], 0});
  }
  return core;
}

TEST(Stability, TargetsFollowTheTreeBothThreadsOfACoreInTurn) {
  Topology topology;
  topology.numa_nodes.resize(2);
  topology.numa_nodes[0].llcs.resize(1);
  topology.numa_nodes[0].llcs[0].cores = {core_with(0, {0, 4}), core_with(1, {1, 5})};
  topology.numa_nodes[1].llcs.resize(1);
  topology.numa_nodes[1].llcs[0].cores = {core_with(2, {2, 6})};
  const auto package = [](std::uint16_t, std::uint32_t number) -> std::optional<std::uint32_t> {
    if (number == 6) return std::nullopt;
    return number % 4 == 2 ? 1u : 0u;
  };
  const std::vector<StabilityTarget> targets = stability_targets(topology, package);
  std::vector<std::uint32_t> order, cores;
  for (const StabilityTarget& t : targets) {
    order.push_back(t.processor.os_index);
    cores.push_back(t.core);
  }
  EXPECT_EQ(order, (std::vector<std::uint32_t>{0, 4, 1, 5, 2, 6}));
  EXPECT_EQ(cores, (std::vector<std::uint32_t>{0, 0, 1, 1, 2, 2}));
  EXPECT_EQ(targets[4].package, 1u);
  EXPECT_EQ(targets[5].package, std::nullopt);
}

// Rounds go over every processor in turn and on after failures; a row keeps
// its best rate and its first wrong value, which wins over a failure of
// another kind.
TEST(Stability, RoundsGoOnAfterFailuresAndRowsKeepTheFirstWrongValue) {
  std::vector<StabilityTarget> targets(3);
  for (std::uint32_t i = 0; i < 3; ++i) targets[i].processor.os_index = i;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
  const auto round = [&](const StabilityTarget& t, std::uint32_t r) {
    calls.emplace_back(r, t.processor.os_index);
    CoreRound result;
    result.mgups = 100.0 + r;
    if (t.processor.os_index == 1 && r == 1) result.failure = "\nfield allocation failed";
    if (t.processor.os_index == 1 && r >= 2) {
      result.mismatch = GridMismatch{};
      result.mismatch->wrong_values = r;
    }
    if (t.processor.os_index == 2 && r == 1) result.mgups.reset();
    return result;
  };
  int reported = 0;
  const std::vector<StabilityRow> rows =
      run_stability(targets, 3, round,
                    [&](const StabilityTarget&, std::uint32_t, const CoreRound&) { ++reported; });
  EXPECT_EQ(calls, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                       {1, 0}, {1, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}, {3, 2}}));
  EXPECT_EQ(reported, 9);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_FALSE(rows[0].failure.has_value());
  EXPECT_EQ(rows[0].mgups, 103.0);
  ASSERT_TRUE(rows[1].failure.has_value());
  EXPECT_TRUE(rows[1].failure->wrong_value);
  EXPECT_EQ(rows[1].failure->round, 2u);
  EXPECT_EQ(rows[1].failure->mismatch->wrong_values, 2u);
  EXPECT_TRUE(any_wrong_value(rows));
  EXPECT_FALSE(any_other_failure(rows));
}

TEST(Stability, SlowMeansMoreThanTenPercentBelowTheMedian) {
  struct Case {
    std::vector<std::optional<double>> rates;
    std::vector<bool> slow;
  };
  const Case cases[] = {
      {{100.0, 90.0, 80.9}, {false, false, true}},                // median 90: 81 is the line
      {{100.0, 90.0, 81.0}, {false, false, false}},               // on the line: not below it
      {{100.0, 100.0, 87.7, 95.0}, {false, false, true, false}},  // median 97.5: 87.75
      {{100.0, std::nullopt, 50.0}, {false, false, true}},        // a row with no rate
      {{std::nullopt}, {false}},
  };
  for (const Case& c : cases) {
    std::vector<StabilityRow> rows(c.rates.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].mgups = c.rates[i];
    mark_slow_rows(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].slow, c.slow[i]) << i;
  }
}

// One real round on the processor this test runs on, through the seams: the
// injected flip is found with its count and place; without it the round is
// clean and has a rate.
TEST(Stability, CoreRoundFindsAnInjectedFlip) {
  const std::optional<ProcessorNumber> here = current_processor();
  ASSERT_TRUE(here.has_value());
  StabilityTarget target;
  target.processor.group = here->group;
  target.processor.os_index = here->number;
  const FieldAllocator allocator{false};
  for (const bool flipped : {true, false}) {
    test::FlipPlan plan;
    plan.bit = 0;
    plan.at_step = flipped ? 10 : ~std::uint64_t{0};
    RunSeams seams = test::flip_seams(default_run_seams(), plan);
    // Probes around the loop: the round's clock is their mean.
    auto probes = std::make_shared<std::vector<double>>(std::vector<double>{3000.0, 3100.0});
    seams.measure_clock = [probes]() -> std::optional<double> {
      if (probes->empty()) return std::nullopt;
      const double mhz = probes->front();
      probes->erase(probes->begin());
      return mhz;
    };
    const StabilityParams params{allocator, "sse2", 64, 1, seams};
    const CoreRound round = run_core_round(params, target);
    EXPECT_EQ(round.clock_mhz, 3050.0);
    ASSERT_TRUE(round.mgups.has_value()) << round.failure.value_or("");
    EXPECT_GT(*round.mgups, 0.0);
    EXPECT_EQ(round.failure, std::nullopt);
    EXPECT_EQ(round.mismatch.has_value(), flipped);
    if (flipped) {
      EXPECT_GT(round.mismatch->wrong_values, 0u);
    }
  }
}

}  // namespace
}  // namespace brisk
