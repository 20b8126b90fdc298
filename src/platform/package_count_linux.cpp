// Linux: the physical_package_id of the processors in this process's
// affinity.
#include <sched.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>

#include "platform/package_count.h"

namespace brisk {

std::uint32_t package_count() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) != 0) return 0;
  std::set<long> ids;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    std::ifstream file("/sys/devices/system/cpu/cpu" + std::to_string(cpu) +
                       "/topology/physical_package_id");
    long id = 0;
    if (file >> id) ids.insert(id);
  }
  return static_cast<std::uint32_t>(ids.size());
}

std::optional<std::uint32_t> package_of(std::uint16_t group, std::uint32_t number) {
  if (number >= 64) return std::nullopt;
  const std::uint64_t cpu = std::uint64_t{group} * 64 + number;
  std::ifstream file("/sys/devices/system/cpu/cpu" + std::to_string(cpu) +
                     "/topology/physical_package_id");
  long id = 0;
  if (!(file >> id) || id < 0) return std::nullopt;
  return static_cast<std::uint32_t>(id);
}

}  // namespace brisk
