#include "platform/topology.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/processor_records.h"
#include "platform/record_builders.h"

namespace brisk {
namespace {

using namespace brisk::testing;

std::string report(const Topology& t) {
  std::string text;
  for (const std::string& line : topology_report_lines(t)) text += line + "\n";
  return text;
}

// (core id, perf level) of every core in tree order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> core_levels(const Topology& t) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
  for (const NumaNode& n : t.numa_nodes) {
    for (const LastLevelCache& c : n.llcs) {
      for (const Core& core : c.cores) out.emplace_back(core.id, core.perf_level);
    }
  }
  return out;
}

TEST(BuildTopology, SmtMachineWithOneNodeAndCache) {
  const Topology t = build_topology_from_records({
      core({0, 1}),
      cache(2, {0, 1}),
      core({2, 3}),
      cache(2, {2, 3}),
      cache(3, {0, 1, 2, 3}),
      node(0, {0, 1, 2, 3}),
  });
  EXPECT_EQ(report(t),
            "perf_level_count=1\n"
            "numa node id=0\n"
            "|--llc id=0\n"
            "|  |--core id=0 perf_level=0\n"
            "|  |  |--logical idx=0 os=0\n"
            "|  |  |--logical idx=1 os=1\n"
            "|  |--core id=1 perf_level=0\n"
            "|  |  |--logical idx=0 os=2\n"
            "|  |  |--logical idx=1 os=3\n");
  EXPECT_EQ(t.core_count(), 2u);
  const LogicalProcessor& lp = t.numa_nodes[0].llcs[0].cores[1].logicals[1];
  EXPECT_EQ(lp.idx, 1u);
  EXPECT_EQ(lp.core_id, 1u);
  EXPECT_EQ(lp.os_index, 3u);
  EXPECT_EQ(lp.group, 0u);
}

TEST(BuildTopology, HybridClassesRankHighestFirst) {
  const Topology two = build_topology_from_records({core({0, 1}, 1), core({2}, 0), core({3}, 1)});
  EXPECT_EQ(two.perf_level_count, 2u);
  EXPECT_EQ(core_levels(two),
            (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}, {1, 1}, {2, 0}}));

  const Topology three = build_topology_from_records({core({0}, 0), core({1}, 2), core({2}, 1)});
  EXPECT_EQ(three.perf_level_count, 3u);
  EXPECT_EQ(core_levels(three),
            (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 2}, {1, 0}, {2, 1}}));

  // Gaps between classes do not create empty levels.
  const Topology gap = build_topology_from_records({core({0}, 7), core({1}, 3)});
  EXPECT_EQ(gap.perf_level_count, 2u);
  EXPECT_EQ(core_levels(gap),
            (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, 0}, {1, 1}}));
}

TEST(BuildTopology, MissingCacheAndNodeRecordsFileUnderZero) {
  const Topology t = build_topology_from_records({core({0}), core({1}), core({2})});
  ASSERT_EQ(t.numa_nodes.size(), 1u);
  EXPECT_EQ(t.numa_nodes[0].id, 0u);
  ASSERT_EQ(t.numa_nodes[0].llcs.size(), 1u);
  EXPECT_EQ(t.numa_nodes[0].llcs[0].id, 0u);
  EXPECT_EQ(t.numa_nodes[0].llcs[0].cores.size(), 3u);
  EXPECT_EQ(t.perf_level_count, 1u);
}

TEST(BuildTopology, Level3CachesAreNumberedInListingOrderIgnoringOtherLevels) {
  const Topology t = build_topology_from_records({
      cache(3, {0}),
      cache(1, {1}),
      cache(2, {1}),
      cache(3, {1}),
      cache(1, {2}),
      cache(3, {2}),
      core({2}),
      core({1}),
      core({0}),
  });
  ASSERT_EQ(t.numa_nodes.size(), 1u);
  const auto& llcs = t.numa_nodes[0].llcs;
  ASSERT_EQ(llcs.size(), 3u);
  // Caches ascend by id; core ids follow the core records.
  EXPECT_EQ(llcs[0].id, 0u);
  EXPECT_EQ(llcs[0].cores[0].id, 2u);
  EXPECT_EQ(llcs[1].id, 1u);
  EXPECT_EQ(llcs[1].cores[0].id, 1u);
  EXPECT_EQ(llcs[2].id, 2u);
  EXPECT_EQ(llcs[2].cores[0].id, 0u);
}

TEST(BuildTopology, NodesAscendAndCoresFollowTheirProcessors) {
  const Topology t = build_topology_from_records({
      node(1, {2, 3}),
      node(0, {0, 1}),
      cache(3, {2, 3}),
      cache(3, {0, 1}),
      core({2}),
      core({3}),
      core({0}),
      core({1}),
  });
  EXPECT_EQ(report(t),
            "perf_level_count=1\n"
            "numa node id=0\n"
            "|--llc id=1\n"
            "|  |--core id=2 perf_level=0\n"
            "|  |  |--logical idx=0 os=0\n"
            "|  |--core id=3 perf_level=0\n"
            "|  |  |--logical idx=0 os=1\n"
            "numa node id=1\n"
            "|--llc id=0\n"
            "|  |--core id=0 perf_level=0\n"
            "|  |  |--logical idx=0 os=2\n"
            "|  |--core id=1 perf_level=0\n"
            "|  |  |--logical idx=0 os=3\n");
}

TEST(BuildTopology, NodeFromTheLastProcessorAndCacheFromTheFirst) {
  // A core straddling two nodes and two caches (only possible with odd
  // firmware): node of processor 1, cache of processor 0.
  const Topology t = build_topology_from_records({
      node(0, {0}),
      node(1, {1}),
      cache(3, {0}),
      cache(3, {1}),
      core({0, 1}),
  });
  ASSERT_EQ(t.numa_nodes.size(), 1u);
  EXPECT_EQ(t.numa_nodes[0].id, 1u);
  EXPECT_EQ(t.numa_nodes[0].llcs[0].id, 0u);
}

TEST(BuildTopology, OnlyTheFirstMaskOfANodeRecordCounts) {
  ProcessorRecord n1 = node(1, {0});
  n1.masks.push_back({0b10, 0});  // a second mask naming processor 1
  const Topology t = build_topology_from_records({n1, core({0}), core({1})});
  ASSERT_EQ(t.numa_nodes.size(), 2u);
  EXPECT_EQ(t.numa_nodes[0].id, 0u);  // processor 1 is not mapped: node 0
  EXPECT_EQ(t.numa_nodes[0].llcs[0].cores[0].id, 1u);
  EXPECT_EQ(t.numa_nodes[1].id, 1u);
}

TEST(BuildTopology, ProcessorGroupOneCountsBitsWithinTheGroup) {
  const Topology t = build_topology_from_records({
      node(0, {0, 1}),
      node(1, {64, 65}),
      core({0, 1}),
      core({64, 65}),
  });
  ASSERT_EQ(t.numa_nodes.size(), 2u);
  const Core& c = t.numa_nodes[1].llcs[0].cores[0];
  ASSERT_EQ(c.logicals.size(), 2u);
  EXPECT_EQ(c.logicals[0].group, 1u);
  EXPECT_EQ(c.logicals[0].os_index, 0u);
  EXPECT_EQ(c.logicals[1].os_index, 1u);
  EXPECT_NE(report(t).find("numa node id=1\n|--llc id=0\n|  |--core id=1 perf_level=0\n"
                           "|  |  |--logical idx=0 os=0\n|  |  |--logical idx=1 os=1\n"),
            std::string::npos);
}

TEST(BuildTopology, CoreWithoutProcessorsIsCountedUnderNodeAndCacheZero) {
  ProcessorRecord empty;
  empty.kind = RecordKind::core;
  const Topology t = build_topology_from_records({node(1, {0}), core({0}), empty});
  ASSERT_EQ(t.numa_nodes.size(), 2u);
  EXPECT_EQ(t.numa_nodes[0].id, 0u);
  EXPECT_TRUE(t.numa_nodes[0].llcs[0].cores[0].logicals.empty());
  EXPECT_EQ(t.core_count(), 2u);
}

TEST(BuildTopology, EightCoresSixteenThreads) {
  std::vector<ProcessorRecord> records;
  for (std::uint32_t c = 0; c < 8; ++c) records.push_back(core({2 * c, 2 * c + 1}));
  records.push_back(cache(3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  const Topology t = build_topology_from_records(records);
  EXPECT_EQ(t.core_count(), 8u);
  std::set<std::uint32_t> seen;
  for (const Core& c : t.numa_nodes[0].llcs[0].cores) {
    for (const LogicalProcessor& lp : c.logicals) seen.insert(lp.os_index);
  }
  EXPECT_EQ(seen.size(), 16u);
}

TEST(BuildTopology, NoCoreRecordsGiveTheEmptyTree) {
  const Topology t = build_topology_from_records({node(0, {0, 1}), cache(3, {0, 1})});
  EXPECT_TRUE(t.numa_nodes.empty());
  EXPECT_EQ(t.perf_level_count, 0u);
  EXPECT_EQ(report(t), "perf_level_count=0\n");
  EXPECT_EQ(t.core_count(), os_processor_count());  // the OS's count instead
  EXPECT_GE(t.core_count(), 1u);
}

TEST(TopologyHolder, BuildsOnceAndKeepsTheTree) {
  TopologyHolder held(build_topology_from_records({core({5})}));
  const Topology& first = held.get();
  EXPECT_EQ(&first, &held.get());
  ASSERT_EQ(first.core_count(), 1u);
  EXPECT_EQ(first.numa_nodes[0].llcs[0].cores[0].logicals[0].os_index, 5u);

  TopologyHolder probed;
  const Topology& real = probed.get();
  EXPECT_EQ(&real, &probed.get());
}

}  // namespace
}  // namespace brisk
