// Linux answers for field memory: /proc/meminfo capped by the memory cgroup,
// anonymous mappings with their huge page advice, hugetlb mappings, and the
// huge pages the kernel really gave, from /proc/self/smaps.
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "memory/memory_cgroup.h"
#include "memory/memory_os.h"
#include "memory/memory_sizing.h"
#include "memory/memory_smaps.h"
#include "memory/memory_thp.h"

namespace brisk::memory_os {
namespace {

constexpr const char* kThpFolder = "/sys/kernel/mm/transparent_hugepage";

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

std::string file_text(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::uint64_t base_page_size() {
  static const std::uint64_t size = [] {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<std::uint64_t>(page) : std::uint64_t{4096};
  }();
  return size;
}

// The size of a transparent huge page (a PMD's reach); 0 without them.
std::uint64_t transparent_page_size() {
  std::istringstream text(file_text(std::string(kThpFolder) + "/hpage_pmd_size"));
  std::uint64_t size = 0;
  text >> size;
  return size;
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

// No privilege is needed for hugetlb or transparent huge pages.
std::uint64_t setup_large_pages() { return huge_page_size(); }

// A kernel built without hugetlb has no Hugepagesize, but may still have
// transparent huge pages.
std::uint64_t huge_page_size() {
  const std::uint64_t size = meminfo_bytes("Hugepagesize");
  return size != 0 ? size : transparent_page_size();
}

std::optional<std::string> transparent_huge_pages_mode() {
  return bracketed_choice(file_text(std::string(kThpFolder) + "/enabled"));
}

// A mapping of its own, so the advice covers exactly the block's pages. It is
// given before the zero fill touches them: a page already faulted in stays
// as it is. Under "always" the advice is what keeps huge pages away; a kernel
// without transparent huge pages refuses it, and has none to keep away.
void* ordinary_alloc(std::uint64_t bytes) {
  const std::uint64_t length = round_to_large_pages(bytes, base_page_size());
  if (length == 0) return nullptr;
  void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  (void)madvise(block, length, MADV_NOHUGEPAGE);
  return block;
}

void ordinary_free(void* block, std::uint64_t bytes) {
  munmap(block, round_to_large_pages(bytes, base_page_size()));
}

PageKind pool_kind() { return PageKind::hugetlb; }

// Fails when no huge pages are reserved (or too few are free).
void* pool_alloc(std::uint64_t bytes) {
  if (bytes == 0) return nullptr;
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_HUGETLB, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void pool_free(void* block, std::uint64_t bytes) { munmap(block, bytes); }

// The hugetlb pool is reserved apart from the memory MemAvailable counts, and
// a hugetlb mapping fails cleanly when the pool is short.
bool pool_uses_available_memory() { return false; }

bool transparent_pages_usable() {
  const std::string folder(kThpFolder);
  const std::uint64_t size = transparent_page_size();
  std::optional<std::string> size_mode;
  if (size != 0) {
    size_mode = bracketed_choice(
        file_text(folder + "/hugepages-" + std::to_string(size / 1024) + "kB/enabled"));
  }
  const int disable = prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0);
  return transparent_pages_allowed(transparent_huge_pages_mode(), size_mode,
                                   disable > 0 ? disable : 0);
}

// The block sits between two inaccessible guard pages of its own, so the
// kernel can never merge it with a neighbouring mapping of the same
// protection and advice (another thread's block), wherever it places the
// next one: smaps then speaks of this block alone.
void* transparent_alloc(std::uint64_t bytes, std::uint64_t alignment) {
  const std::uint64_t guard = base_page_size();
  if (bytes == 0 || alignment < guard || (alignment & (alignment - 1)) != 0 ||
      bytes > UINT64_MAX - alignment - 2 * guard) {
    return nullptr;
  }
  const std::uint64_t span = bytes + alignment + 2 * guard;
  void* reserved = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) return nullptr;
  const auto base = reinterpret_cast<std::uintptr_t>(reserved);
  const std::uintptr_t start = (base + guard + alignment - 1) & ~(alignment - 1);
  const std::uintptr_t head = start - guard;          // first guard page
  const std::uintptr_t tail = start + bytes + guard;  // past the second one
  if (head > base) munmap(reserved, head - base);
  if (base + span > tail) munmap(reinterpret_cast<void*>(tail), base + span - tail);
  void* block = reinterpret_cast<void*>(start);
  if (mprotect(block, bytes, PROT_READ | PROT_WRITE) != 0 ||
      madvise(block, bytes, MADV_HUGEPAGE) != 0) {
    munmap(reinterpret_cast<void*>(head), bytes + 2 * guard);
    return nullptr;
  }
  return block;
}

void transparent_free(void* block, std::uint64_t bytes) {
  const std::uint64_t guard = base_page_size();
  munmap(static_cast<char*>(block) - guard, bytes + 2 * guard);
}

std::uint64_t transparent_huge_bytes(const void* block, std::uint64_t bytes) {
  const auto begin = reinterpret_cast<std::uintptr_t>(block);
  return huge_bytes_in_range(parse_smaps(file_text("/proc/self/smaps")), begin, begin + bytes);
}

}  // namespace brisk::memory_os
