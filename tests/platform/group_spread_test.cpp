#include "platform/group_spread.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/processor_records.h"
#include "platform/threading.h"

namespace brisk {
namespace {

using Shares = std::vector<std::uint32_t>;

// A machine whose processor group g holds `sizes[g]` logical processors, as
// Windows reports it: cores of two hardware threads (one when a group's size
// is odd), the groups under one NUMA node each.
Topology machine(const std::vector<std::uint32_t>& sizes) {
  std::vector<ProcessorRecord> records;
  for (std::size_t g = 0; g < sizes.size(); ++g) {
    const auto group = static_cast<std::uint16_t>(g);
    ProcessorRecord node;
    node.kind = RecordKind::numa_node;
    node.node_number = static_cast<std::uint32_t>(g);
    node.masks = {{sizes[g] == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << sizes[g]) - 1, group}};
    records.push_back(node);
    for (std::uint32_t bit = 0; bit < sizes[g]; bit += 2) {
      ProcessorRecord core;
      core.kind = RecordKind::core;
      std::uint64_t mask = std::uint64_t{1} << bit;
      if (bit + 1 < sizes[g]) mask |= std::uint64_t{1} << (bit + 1);
      core.masks = {{mask, group}};
      records.push_back(core);
    }
  }
  return build_topology_from_records(records);
}

Shares shares_of(const std::vector<std::uint32_t>& sizes, std::uint32_t threads) {
  return group_shares(processor_groups(machine(sizes)), threads);
}

TEST(GroupSpread, GroupsHoldTheirProcessors) {
  const std::vector<GroupAffinity> groups = processor_groups(machine({64, 32, 48, 17}));
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0], (GroupAffinity{0, ~std::uint64_t{0}}));
  EXPECT_EQ(groups[1], (GroupAffinity{1, 0xFFFF'FFFFu}));
  EXPECT_EQ(groups[2], (GroupAffinity{2, 0xFFFF'FFFF'FFFFu}));
  EXPECT_EQ(groups[3], (GroupAffinity{3, 0x1'FFFFu}));
  EXPECT_TRUE(processor_groups(Topology{}).empty());
}

TEST(GroupSpread, SharesFollowGroupSizes) {
  struct Case {
    std::vector<std::uint32_t> sizes;
    std::uint32_t threads;
    Shares expected;
  };
  const std::vector<Case> cases = {
      {{64}, 40, {40}},
      {{64, 32}, 96, {64, 32}},
      {{64, 32}, 95, {63, 32}},  // 63.33 and 31.67: the larger remainder wins
      {{64, 32}, 3, {2, 1}},
      {{64, 32}, 2, {1, 1}},  // 1.33 and 0.67
      {{64, 32}, 1, {1, 0}},
      {{64, 32}, 200, {133, 67}},  // more threads than processors
      {{48, 48}, 1, {1, 0}},       // a tie goes to the lower group
      {{48, 48}, 3, {2, 1}},
      {{64, 32, 48, 16}, 160, {64, 32, 48, 16}},
      {{64, 32, 48, 16}, 10, {4, 2, 3, 1}},
      {{64, 32, 48, 16}, 7, {3, 1, 2, 1}},  // 2.8, 1.4, 2.1, 0.7
      {{64, 32, 48, 16}, 2, {1, 0, 1, 0}},
      {{64, 32, 48, 16}, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sizes.size()) + " groups, " + std::to_string(c.threads) +
                 " threads");
    EXPECT_EQ(shares_of(c.sizes, c.threads), c.expected);
  }
}

TEST(GroupSpread, SharesAddUpAndStayWithinOneOfTheExactQuota) {
  for (const std::vector<std::uint32_t>& sizes :
       std::vector<std::vector<std::uint32_t>>{{64, 32}, {64, 32, 48, 16}, {63, 1, 64, 5}}) {
    std::uint64_t total = 0;
    for (std::uint32_t s : sizes) total += s;
    const std::vector<GroupAffinity> groups = processor_groups(machine(sizes));
    for (std::uint32_t threads = 0; threads <= 400; ++threads) {
      const Shares shares = group_shares(groups, threads);
      std::uint64_t sum = 0;
      for (std::size_t g = 0; g < sizes.size(); ++g) {
        sum += shares[g];
        // |share - threads * size / total| < 1, in integers.
        const std::int64_t scaled_error = static_cast<std::int64_t>(shares[g] * total) -
                                          static_cast<std::int64_t>(threads) * sizes[g];
        EXPECT_LT(std::abs(scaled_error), static_cast<std::int64_t>(total))
            << threads << " threads, group " << g;
      }
      EXPECT_EQ(sum, threads);
    }
  }
}

TEST(GroupSpread, EveryThreadGetsAWholeGroupInGroupOrder) {
  const Topology t = machine({64, 32, 48, 16});
  const std::vector<GroupAffinity> groups = processor_groups(t);
  const std::vector<GroupAffinity> spread = spread_over_groups(t, 7);
  ASSERT_EQ(spread.size(), 7u);
  const std::vector<std::uint16_t> expected_groups = {0, 0, 0, 1, 2, 2, 3};
  for (std::size_t k = 0; k < spread.size(); ++k) {
    EXPECT_EQ(spread[k].group, expected_groups[k]) << "thread " << k;
    EXPECT_EQ(spread[k], groups[spread[k].group]) << "thread " << k;
    EXPECT_GT(std::popcount(spread[k].mask), 1) << "never a single processor";
  }
}

TEST(GroupSpread, OneGroupIsLeftToTheScheduler) {
  EXPECT_TRUE(spread_over_groups(machine({64}), 64).empty());
  EXPECT_TRUE(spread_over_groups(machine({12}), 100).empty());
  EXPECT_TRUE(spread_over_groups(Topology{}, 8).empty());
}

TEST(GroupSpread, OnlyTheOsManagerSpreadsAndOnlyWhereTheSchedulerWouldNot) {
  const Topology t = machine({64, 32});
  for (const char* name : {"numa", "phte"}) {
    const ThreadingManager m = make_threading_manager(name, t, 96, true);
    EXPECT_EQ(m.plan.size(), 96u) << name;
    EXPECT_TRUE(m.group_spread.empty()) << name;
  }
  const ThreadingManager spread = make_threading_manager("os", t, 96, true);
  EXPECT_TRUE(spread.plan.empty());
  EXPECT_EQ(spread.thread_count, 96u);
  ASSERT_EQ(spread.group_spread.size(), 96u);
  EXPECT_EQ(spread.group_spread[63].group, 0u);
  EXPECT_EQ(spread.group_spread[64].group, 1u);
  const ThreadingManager left = make_threading_manager("os", t, 96, false);
  EXPECT_TRUE(left.plan.empty());
  EXPECT_TRUE(left.group_spread.empty());
}

}  // namespace
}  // namespace brisk
