#include "memory/memory_info.h"

#include "memory/memory_os.h"

namespace brisk {

std::uint64_t memory_per_thread(std::uint64_t grid_size) {
  const std::uint64_t edge = grid_size + 2;
  return edge * edge * edge * 64;
}

std::uint64_t available_physical_memory() { return memory_os::available_physical(); }

std::uint64_t total_physical_memory() { return memory_os::total_physical(); }

bool fits_in_free_memory(std::uint64_t count, std::uint64_t item_bytes) {
  const std::uint64_t available = available_physical_memory();
  return available == 0 || item_bytes == 0 || count <= available / item_bytes;
}

std::uint64_t large_page_size() {
  // Function-local static: the first caller does the setup, concurrent first
  // callers wait for it, and later calls only read the stored value.
  static const std::uint64_t size = memory_os::setup_large_pages();
  return size;
}

std::uint64_t system_huge_page_size() { return memory_os::huge_page_size(); }

std::optional<std::string> transparent_huge_pages_mode() {
  return memory_os::transparent_huge_pages_mode();
}

}  // namespace brisk
