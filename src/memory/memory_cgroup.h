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

// A cgroup directory: the top of a mounted hierarchy, and the process's
// cgroup as a path below it ("/a/b"; empty for the top itself).
struct CgroupPlace {
  std::filesystem::path top;
  std::string relative;
};
// The process's cgroups in the v2 hierarchy and in the v1 memory hierarchy.
struct CgroupPlaces {
  std::optional<CgroupPlace> unified;
  std::optional<CgroupPlace> memory;
};

// Finds the process's cgroups from the texts of /proc/self/cgroup ("0::/path"
// for v2; "N:controllers:/path" naming "memory" for v1) and
// /proc/self/mountinfo (the cgroup2 mount; the cgroup mount with the memory
// option), with mount points taken below `filesystem_root` ("/" for the real
// system). Without a mountinfo entry the usual mount points /sys/fs/cgroup
// (v2) and /sys/fs/cgroup/memory (v1) are used.
CgroupPlaces locate_cgroups(std::string_view proc_cgroup, std::string_view mountinfo,
                            const std::filesystem::path& filesystem_root);

// Bytes left under the tightest memory limit of the process's cgroups and all
// their parents up to the top, v1 and v2 alike: each level's limit less its
// usage, less the inactive file cache of its subtree (which the kernel
// reclaims before it kills; MemAvailable counts such cache as free too).
// 0 when the usage exceeds a limit; nothing when no level sets a readable
// limit. v2 reads memory.max ("max" is no limit) and memory.current, v1
// memory.limit_in_bytes (its "no limit" is a number near 2^63) and
// memory.usage_in_bytes; both read memory.stat for the cache.
std::optional<std::uint64_t> cgroup_memory_room(const CgroupPlaces& places);

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
