// The operating-system side of field memory: one backend per OS
// (memory_os_linux.cpp, memory_os_windows.cpp) answers these, and nothing
// above it includes a system header.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "memory/field_pages.h"

namespace brisk::memory_os {

// Free physical memory in bytes, no more than the process's memory cgroup
// still allows where there are cgroups; 0 when the query fails.
std::uint64_t available_physical();
// Physical memory the system reports in all (MemTotal / ullTotalPhys); 0 unknown.
std::uint64_t total_physical();
// Enables whatever large pages need (the lock-memory privilege on Windows)
// and returns the large page size; 0 when the system has none. Called once.
std::uint64_t setup_large_pages();
// The large page size as the system states it, with no setup; 0 when none.
std::uint64_t huge_page_size();
// The system's transparent huge page mode ("always", "madvise", "never");
// none where the system has no such setting.
std::optional<std::string> transparent_huge_pages_mode();

// Ordinary pages, whatever the system's transparent huge page setting: a
// block of `bytes` bytes aligned to 64 at least, or null.
void* ordinary_alloc(std::uint64_t bytes);
void ordinary_free(void* block, std::uint64_t bytes);

// The kind of page the reserved large-page pool gives (hugetlb on Linux,
// large on Windows).
PageKind pool_kind();
// Commits `bytes` (already a whole number of large pages) from the pool, or null.
void* pool_alloc(std::uint64_t bytes);
void pool_free(void* block, std::uint64_t bytes);
// Whether a pool block should also be checked against the free physical
// memory (false where the pool is reserved apart from it).
bool pool_uses_available_memory();

// Whether this process can get transparent huge pages now (the system setting
// and the process's own switch); false where the system has none.
bool transparent_pages_usable();
// `bytes` (a whole number of `alignment`, the huge page size) aligned to
// `alignment` and asked to be put on transparent huge pages as it is first
// touched; null when that cannot be done.
void* transparent_alloc(std::uint64_t bytes, std::uint64_t alignment);
void transparent_free(void* block, std::uint64_t bytes);
// How many of the block's bytes the kernel put on huge pages, read back from
// the process's mappings; 0 when that cannot be read.
std::uint64_t transparent_huge_bytes(const void* block, std::uint64_t bytes);

}  // namespace brisk::memory_os
