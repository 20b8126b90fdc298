#include "platform/threading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/processor_records.h"
#include "platform/record_builders.h"

namespace brisk {
namespace {

using namespace brisk::testing;
using Entry = std::pair<std::uint32_t, std::uint32_t>;  // (core id, idx in core)
using Entries = std::vector<Entry>;

Entries entries(const std::vector<LogicalProcessor>& plan) {
  Entries out;
  for (const LogicalProcessor& lp : plan) out.emplace_back(lp.core_id, lp.idx);
  return out;
}

// Every logical processor of the tree, sorted, to compare plans against.
std::vector<std::pair<std::uint16_t, std::uint32_t>> all_processors(const Topology& t) {
  std::vector<std::pair<std::uint16_t, std::uint32_t>> out;
  for (const NumaNode& n : t.numa_nodes)
    for (const LastLevelCache& c : n.llcs)
      for (const Core& core : c.cores)
        for (const LogicalProcessor& lp : core.logicals) out.emplace_back(lp.group, lp.os_index);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::pair<std::uint16_t, std::uint32_t>> sorted(
    const std::vector<LogicalProcessor>& p) {
  std::vector<std::pair<std::uint16_t, std::uint32_t>> out;
  for (const LogicalProcessor& lp : p) out.emplace_back(lp.group, lp.os_index);
  std::sort(out.begin(), out.end());
  return out;
}

// Two performance cores (ids 0, 1; two threads each) and four efficiency
// cores (ids 2..5; one thread each) under one node and one cache.
Topology hybrid() {
  return build_topology_from_records({core({0, 1}, 1), core({2, 3}, 1), core({4}), core({5}),
                                      core({6}), core({7}), cache(3, {0, 1, 2, 3, 4, 5, 6, 7})});
}

// Two nodes with one cache each; cores 0 and 1 on node 0, 2 and 3 on node 1.
Topology two_nodes() {
  return build_topology_from_records({node(0, {0, 1, 2, 3}), node(1, {4, 5, 6, 7}),
                                      cache(3, {0, 1, 2, 3}), cache(3, {4, 5, 6, 7}), core({0, 1}),
                                      core({2, 3}), core({4, 5}), core({6, 7})});
}

TEST(ThreadPlans, HybridPhteFillsThePerformanceCoresFirst) {
  EXPECT_EQ(entries(build_phte_plan(hybrid())),
            (Entries{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}));
}

TEST(ThreadPlans, HybridNumaFillsFirstThreadsOfEveryKindFirst) {
  EXPECT_EQ(entries(build_numa_plan(hybrid())),
            (Entries{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {0, 1}, {1, 1}}));
}

TEST(ThreadPlans, TwoNodesAlternateBetweenNodes) {
  const Entries expected{{0, 0}, {2, 0}, {1, 0}, {3, 0}, {0, 1}, {2, 1}, {1, 1}, {3, 1}};
  EXPECT_EQ(entries(build_numa_plan(two_nodes())), expected);
  EXPECT_EQ(entries(build_phte_plan(two_nodes())), expected);
  // The plan names the OS processors: core 2 is processors 4 and 5.
  EXPECT_EQ(build_numa_plan(two_nodes())[1].os_index, 4u);
}

TEST(ThreadPlans, UnequalThreadCountsPutSingleThreadCoresOnlyInBucketZero) {
  const Topology t = build_topology_from_records({core({0, 1}), core({2}), core({3, 4})});
  EXPECT_EQ(entries(build_numa_plan(t)), (Entries{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}}));
  EXPECT_EQ(entries(build_phte_plan(t)), (Entries{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}}));
}

TEST(ThreadPlans, WithoutSmtOrHybridBothPlansAreOneProcessorPerCore) {
  const Topology t = build_topology_from_records({node(0, {0, 1, 2}), node(1, {3}), cache(3, {0}),
                                                  cache(3, {1, 2}), cache(3, {3}), core({0}),
                                                  core({1}), core({2}), core({3})});
  const Entries expected{{0, 0}, {3, 0}, {1, 0}, {2, 0}};
  EXPECT_EQ(entries(build_numa_plan(t)), expected);
  EXPECT_EQ(entries(build_phte_plan(t)), expected);
}

TEST(ThreadPlans, EveryProcessorExactlyOnce) {
  ProcessorRecord empty_core;
  empty_core.kind = RecordKind::core;
  const std::vector<Topology> trees = {
      hybrid(),
      two_nodes(),
      build_topology_from_records({node(0, {0, 1, 64}), node(1, {65, 66, 67}), core({0, 1}, 2),
                                   empty_core, core({64}, 0), core({65, 66, 67}, 1),
                                   cache(3, {0, 1}), cache(3, {64, 65, 66, 67})}),
  };
  for (const Topology& t : trees) {
    EXPECT_EQ(sorted(build_numa_plan(t)), all_processors(t));
    EXPECT_EQ(sorted(build_phte_plan(t)), all_processors(t));
  }
}

TEST(ThreadPlans, EmptyTreeGivesEmptyPlans) {
  EXPECT_TRUE(build_numa_plan(Topology{}).empty());
  EXPECT_TRUE(build_phte_plan(Topology{}).empty());
}

TEST(CoreGroups, CachesAtTheSamePositionFollowEachOtherAcrossNodes) {
  // Node 0 has three caches, node 1 one.
  const Topology t = build_topology_from_records(
      {node(0, {0, 1, 2, 3}), node(1, {4}), cache(3, {0}), cache(3, {1, 2}), cache(3, {3}),
       cache(3, {4}), core({0}), core({1}), core({2}), core({3}), core({4})});
  const CoreGroups g = collect_core_groups(t, 0);
  ASSERT_EQ(g.groups.size(), 4u);
  std::vector<std::vector<std::uint32_t>> ids;
  for (const auto& group : g.groups) {
    ids.emplace_back();
    for (const Core* c : group) ids.back().push_back(c->id);
  }
  EXPECT_EQ(ids, (std::vector<std::vector<std::uint32_t>>{{0}, {4}, {1, 2}, {3}}));
  EXPECT_EQ(g.max_threads_per_core, 1u);
}

TEST(CoreGroups, OnlyCoresOfTheLevelWithProcessors) {
  const Topology t = hybrid();
  const CoreGroups p = collect_core_groups(t, 0);
  ASSERT_EQ(p.groups.size(), 1u);
  EXPECT_EQ(p.groups[0].size(), 2u);
  EXPECT_EQ(p.max_threads_per_core, 2u);
  const CoreGroups none = collect_core_groups(t, 5);
  EXPECT_TRUE(none.groups.empty());
  EXPECT_EQ(none.max_threads_per_core, 0u);
}

TEST(Distribute, FillsOnlyExistingBuckets) {
  const Topology t = two_nodes();
  const CoreGroups g = collect_core_groups(t, 0);
  std::vector<std::vector<const LogicalProcessor*>> one_bucket(1);
  distribute(one_bucket, g);
  ASSERT_EQ(one_bucket[0].size(), 4u);
  EXPECT_EQ(one_bucket[0][1]->core_id, 2u);
  for (const LogicalProcessor* lp : one_bucket[0]) EXPECT_EQ(lp->idx, 0u);
}

}  // namespace
}  // namespace brisk
