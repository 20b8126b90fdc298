// Sizing facts for runs: field memory per thread, free physical memory and the
// large page size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisk {

// (N + 2)^3 * 64 bytes: the E and H fields of one thread for grid size N.
std::uint64_t memory_per_thread(std::uint64_t grid_size);
// Free physical memory in bytes (on Linux no more than the memory cgroup still
// allows); 0 when the query fails.
std::uint64_t available_physical_memory();
// The machine's physical memory in bytes; 0 when the system does not say.
std::uint64_t total_physical_memory();
// Whether `count` items of `item_bytes` each fit into the free physical
// memory; true when that is unknown. Guards reservations that Linux would
// grant and only fail when touched.
bool fits_in_free_memory(std::uint64_t count, std::uint64_t item_bytes);
// The large page size; the first call enables the lock-memory privilege and
// reads it (thread-safe one-time setup). 0 when the system has none.
std::uint64_t large_page_size();
// The large page size as the system states it, without the setup above; 0
// when the system has none.
std::uint64_t system_huge_page_size();
// The system's transparent huge page mode ("always", "madvise" or "never");
// none where the system has no such setting (Windows).
std::optional<std::string> transparent_huge_pages_mode();

}  // namespace brisk
