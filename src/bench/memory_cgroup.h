// The memory a control group still allows the process, read from the cgroup
// files (v1 and v2). Inside a container MemAvailable shows the host, while
// the kernel kills the process once its cgroup's limit is reached, so the
// room left under that limit caps the free memory every sizing decision uses.
//
// Everything here takes file contents or a directory, so it runs on fake
// trees; the Linux backend calls it with /proc/self and the real mounts.
// Nothing here fails: whatever cannot be read or understood is "no limit".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// The process's cgroup paths, from the text of /proc/self/cgroup.
struct CgroupMembership {
  std::optional<std::string> unified;  // the "0::/path" line (v2)
  std::optional<std::string> memory;   // the line naming the v1 memory controller
};
CgroupMembership parse_proc_cgroup(std::string_view text);

// Where a hierarchy is mounted, and which of its cgroups the mount shows as
// its top (not "/" when a container sees only its own subtree).
struct CgroupMount {
  std::string root;
  std::string mount_point;
};
// The cgroup2 mount and the v1 mount carrying the memory controller, from the
// text of /proc/self/mountinfo.
struct CgroupMounts {
  std::optional<CgroupMount> unified;
  std::optional<CgroupMount> memory;
};
CgroupMounts parse_mountinfo(std::string_view text);

// Bytes left under the tightest limit from the cgroup directory `top` +
// `relative` up to `top` itself, each level's limit less its usage (less its
// inactive file cache, which the kernel reclaims before it kills: MemAvailable
// counts that cache as free too). 0 when the usage exceeds a limit; nothing
// when no level sets a readable limit. v2 reads memory.max and
// memory.current ("max" is no limit), v1 memory.limit_in_bytes and
// memory.usage_in_bytes (its "no limit" is a number near 2^63).
std::optional<std::uint64_t> cgroup_v2_room(const std::filesystem::path& top,
                                            std::string_view relative);
std::optional<std::uint64_t> cgroup_v1_room(const std::filesystem::path& top,
                                            std::string_view relative);

// The room left in the process's cgroups, v1 and v2 alike (the smaller when
// both limit it). `proc_cgroup` and `mountinfo` are the texts of
// /proc/self/cgroup and /proc/self/mountinfo; mount points are taken below
// `filesystem_root` ("/" for the real system). Without a mountinfo entry the
// usual mount points /sys/fs/cgroup (v2) and /sys/fs/cgroup/memory (v1) are
// tried.
std::optional<std::uint64_t> cgroup_memory_room(std::string_view proc_cgroup,
                                                std::string_view mountinfo,
                                                const std::filesystem::path& filesystem_root);

// MemAvailable (0 when unknown) capped by the cgroup room. A full cgroup
// gives 1, not 0, because 0 means "unknown" and would admit everything.
constexpr std::uint64_t cap_by_cgroup(std::uint64_t mem_available,
                                      std::optional<std::uint64_t> room) {
  if (!room) return mem_available;
  const std::uint64_t capped =
      mem_available == 0 ? *room : (*room < mem_available ? *room : mem_available);
  return capped == 0 ? 1 : capped;
}

}  // namespace brisk
