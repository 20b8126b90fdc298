// Linux answers for field memory: /proc/meminfo capped by the memory cgroup,
// hugetlb mappings and the aligned heap.
#include <sys/mman.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include "bench/memory_cgroup.h"
#include "bench/memory_os.h"
#include "bench/memory_sizing.h"

namespace brisk::memory_os {
namespace {

// A /proc/meminfo entry ("MemAvailable:   123 kB") in bytes; 0 when absent.
std::uint64_t meminfo_bytes(const std::string& key) {
  std::ifstream file("/proc/meminfo");
  std::string line;
  while (std::getline(file, line)) {
    if (line.compare(0, key.size() + 1, key + ":") != 0) continue;
    std::istringstream fields(line.substr(key.size() + 1));
    std::uint64_t value = 0;
    std::string unit;
    if (!(fields >> value)) return 0;
    fields >> unit;
    return unit == "kB" ? value * 1024 : value;
  }
  return 0;
}

std::string file_text(const char* path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// munmap needs the length, which deallocate does not get: it is kept here
// per block. Large-page blocks are few (two per thread), so a map will do.
std::mutex& mapping_mutex() {
  static std::mutex mutex;
  return mutex;
}
std::map<void*, std::uint64_t>& mapping_sizes() {
  static std::map<void*, std::uint64_t> sizes;
  return sizes;
}

}  // namespace

std::uint64_t total_physical() { return meminfo_bytes("MemTotal"); }

// Inside a container MemAvailable shows the host; the kernel kills the
// process once its cgroup's limit is reached. The cgroups are found once (a
// process stays in its cgroup); their limits and usage are read every time.
std::uint64_t available_physical() {
  static const CgroupPlaces places =
      locate_cgroups(file_text("/proc/self/cgroup"), file_text("/proc/self/mountinfo"), "/");
  return cap_by_cgroup(meminfo_bytes("MemAvailable"), cgroup_memory_room(places));
}

// No privilege is needed for hugetlb mappings; they fail when no huge pages
// are reserved.
std::uint64_t setup_large_pages() { return meminfo_bytes("Hugepagesize"); }

void* large_alloc(std::uint64_t bytes) {
  if (bytes == 0) return nullptr;
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_HUGETLB, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  try {
    std::lock_guard lock(mapping_mutex());
    mapping_sizes().emplace(block, bytes);
  } catch (...) {
    munmap(block, bytes);
    return nullptr;
  }
  return block;
}

void large_free(void* block) {
  std::uint64_t bytes = 0;
  {
    std::lock_guard lock(mapping_mutex());
    auto found = mapping_sizes().find(block);
    if (found == mapping_sizes().end()) return;
    bytes = found->second;
    mapping_sizes().erase(found);
  }
  munmap(block, bytes);
}

void* aligned_alloc64(std::uint64_t bytes) {
  const std::uint64_t rounded = round_up_64(bytes);
  if (rounded == 0) return nullptr;
  return std::aligned_alloc(64, rounded);
}

void aligned_free64(void* block) { std::free(block); }

// The hugetlb pool is reserved apart from the memory MemAvailable counts, and
// a hugetlb mapping fails cleanly when the pool is short.
bool large_pages_use_available_memory() { return false; }

}  // namespace brisk::memory_os
