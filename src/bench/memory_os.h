// The operating-system side of field memory: one backend per OS
// (memory_os_linux.cpp, memory_os_windows.cpp) answers these, and nothing
// above it includes a system header.
#pragma once

#include <cstdint>

namespace brisk::memory_os {

// Free physical memory in bytes, no more than the process's memory cgroup
// still allows where there are cgroups; 0 when the query fails.
std::uint64_t available_physical();
// Physical memory the system reports in all (MemTotal / ullTotalPhys); 0 unknown.
std::uint64_t total_physical();
// Enables whatever large pages need (the lock-memory privilege on Windows)
// and returns the large page size; 0 when the system has none. Called once.
std::uint64_t setup_large_pages();
// Commits `bytes` (already a whole number of large pages) of large-page
// memory, or null. Large-page blocks are released by large_free.
void* large_alloc(std::uint64_t bytes);
void large_free(void* block);
// A heap block of `bytes` bytes aligned to 64, or null.
void* aligned_alloc64(std::uint64_t bytes);
void aligned_free64(void* block);
// Whether a large-page grant should also be checked against the free
// physical memory (false where the large-page pool is separate from it).
bool large_pages_use_available_memory();

}  // namespace brisk::memory_os
