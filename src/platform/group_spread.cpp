#include "platform/group_spread.h"

#include <algorithm>
#include <bit>
#include <map>
#include <numeric>

namespace brisk {

std::vector<GroupAffinity> processor_groups(const Topology& topology) {
  std::map<std::uint16_t, std::uint64_t> masks;
  for (const NumaNode& node : topology.numa_nodes)
    for (const LastLevelCache& cache : node.llcs)
      for (const Core& core : cache.cores)
        for (const LogicalProcessor& lp : core.logicals) {
          if (lp.os_index < 64) masks[lp.group] |= std::uint64_t{1} << lp.os_index;
        }
  std::vector<GroupAffinity> groups;
  for (const auto& [group, mask] : masks) groups.push_back({group, mask});
  return groups;
}

std::vector<std::uint32_t> group_shares(const std::vector<GroupAffinity>& groups,
                                        std::uint32_t thread_count) {
  std::uint64_t total = 0;
  for (const GroupAffinity& g : groups) total += static_cast<std::uint64_t>(std::popcount(g.mask));
  std::vector<std::uint32_t> shares(groups.size(), 0);
  if (total == 0) return shares;
  // Exact integer quotas: thread_count * size / total, remainder kept apart.
  std::vector<std::uint64_t> remainders(groups.size());
  std::uint64_t given = 0;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const std::uint64_t scaled =
        std::uint64_t{thread_count} * static_cast<std::uint64_t>(std::popcount(groups[i].mask));
    shares[i] = static_cast<std::uint32_t>(scaled / total);
    remainders[i] = scaled % total;
    given += shares[i];
  }
  std::vector<std::size_t> order(groups.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return remainders[a] > remainders[b]; });
  // Fewer threads are left over than there are groups, so one pass suffices.
  for (std::size_t i = 0; given < thread_count && i < order.size(); ++i, ++given) {
    ++shares[order[i]];
  }
  return shares;
}

std::vector<GroupAffinity> spread_over_groups(const Topology& topology,
                                              std::uint32_t thread_count) {
  const std::vector<GroupAffinity> groups = processor_groups(topology);
  std::vector<GroupAffinity> spread;
  if (groups.size() < 2) return spread;
  const std::vector<std::uint32_t> shares = group_shares(groups, thread_count);
  spread.reserve(thread_count);
  for (std::size_t i = 0; i < groups.size(); ++i) spread.insert(spread.end(), shares[i], groups[i]);
  return spread;
}

}  // namespace brisk
