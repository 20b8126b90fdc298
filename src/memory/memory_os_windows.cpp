// Windows answers for field memory: GlobalMemoryStatusEx, large pages with
// the lock-memory privilege, and the CRT's aligned heap.
#include <malloc.h>
#include <windows.h>

#include "memory/memory_os.h"

namespace brisk::memory_os {

std::uint64_t available_physical() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

std::uint64_t total_physical() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

// Without the lock-memory right the privilege stays disabled and large-page
// allocations fail later; none of these results is examined.
std::uint64_t setup_large_pages() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid)) {
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
    CloseHandle(token);
  }
  return static_cast<std::uint64_t>(GetLargePageMinimum());
}

std::uint64_t huge_page_size() { return static_cast<std::uint64_t>(GetLargePageMinimum()); }

// Windows has no transparent huge pages: its pages are ordinary unless large
// pages are asked for.
std::optional<std::string> transparent_huge_pages_mode() { return std::nullopt; }

void* ordinary_alloc(std::uint64_t bytes) {
  return _aligned_malloc(static_cast<size_t>(bytes), 64);
}

void ordinary_free(void* block, std::uint64_t) { _aligned_free(block); }

PageKind pool_kind() { return PageKind::large; }

void* pool_alloc(std::uint64_t bytes) {
  if (bytes == 0) return nullptr;
  return VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes),
                      MEM_COMMIT | MEM_RESERVE | MEM_LARGE_PAGES, PAGE_READWRITE);
}

void pool_free(void* block, std::uint64_t) { VirtualFree(block, 0, MEM_RELEASE); }

// Large pages come out of free physical memory on Windows.
bool pool_uses_available_memory() { return true; }

bool transparent_pages_usable() { return false; }

void* transparent_alloc(std::uint64_t, std::uint64_t) { return nullptr; }

void transparent_free(void*, std::uint64_t) {}

std::uint64_t transparent_huge_bytes(const void*, std::uint64_t) { return 0; }

}  // namespace brisk::memory_os
