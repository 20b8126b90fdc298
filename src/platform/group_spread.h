// Spreading unplaced threads over processor groups. Windows before 11 and
// Server 2022 keeps a process's threads in one group of at most 64 logical
// processors unless each thread is given a group, so on a larger machine the
// "os" manager hands every thread a whole group (never a single processor) and
// leaves the choice within that group to the scheduler.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/topology.h"

namespace brisk {

// One processor group and the logical processors of the tree within it.
struct GroupAffinity {
  std::uint16_t group = 0;
  std::uint64_t mask = 0;  // bit b set: logical processor b of the group is in the tree

  friend bool operator==(const GroupAffinity&, const GroupAffinity&) = default;
};

// The groups that hold at least one logical processor of `topology`, ascending
// by group number.
std::vector<GroupAffinity> processor_groups(const Topology& topology);

// How many of `thread_count` threads each group takes: in proportion to its
// processor count, rounded by largest remainder (ties go to the lower group),
// so the shares add up to `thread_count`. Empty when `groups` is empty.
std::vector<std::uint32_t> group_shares(const std::vector<GroupAffinity>& groups,
                                        std::uint32_t thread_count);

// Entry k is the group of thread k: group 0's share first, then group 1's, and
// so on. Empty when the tree has fewer than two groups (nothing to spread).
std::vector<GroupAffinity> spread_over_groups(const Topology& topology, std::uint32_t thread_count);

}  // namespace brisk
