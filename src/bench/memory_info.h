// Sizing facts for runs: field memory per thread, free physical memory and the
// large page size.
#pragma once

#include <cstdint>

namespace brisk {

// (N + 2)^3 * 64 bytes: the E and H fields of one thread for grid size N.
std::uint64_t memory_per_thread(std::uint64_t grid_size);
// Free physical memory in bytes; 0 when the query fails.
std::uint64_t available_physical_memory();
// The large page size; the first call enables the lock-memory privilege and
// reads it (thread-safe one-time setup). 0 when the system has none.
std::uint64_t large_page_size();

}  // namespace brisk
