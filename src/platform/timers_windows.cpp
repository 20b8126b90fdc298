// Windows answers for the timer probes.
#include <windows.h>

#include "platform/timer_backend.h"
#include "platform/timers.h"

namespace brisk {
namespace {

// ntdll's timer-resolution query is not in the import libraries, so it is
// looked up by name at run time. Its three outputs are in 100 ns units.
using NtQueryTimerResolutionFn = LONG(NTAPI*)(PULONG coarsest, PULONG finest, PULONG current);

}  // namespace

std::int64_t FastTimer::now() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

std::int64_t CoarseTimer::now() { return static_cast<std::int64_t>(GetTickCount64()); }

std::int64_t performance_counter_frequency() {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency)) return 0;
  return frequency.QuadPart;
}

std::optional<std::uint64_t> current_timer_resolution() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return std::nullopt;
  auto query = reinterpret_cast<NtQueryTimerResolutionFn>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryTimerResolution")));
  if (query == nullptr) return std::nullopt;
  ULONG coarsest = 0, finest = 0, current = 0;
  if (query(&coarsest, &finest, &current) < 0) return std::nullopt;
  return current;
}

std::optional<std::uint64_t> system_time_increment() {
  DWORD adjustment = 0, increment = 0;
  BOOL disabled = FALSE;
  if (!GetSystemTimeAdjustment(&adjustment, &increment, &disabled)) return std::nullopt;
  return increment;
}

static_assert(sizeof(OSVERSIONINFOEXW) == 284);

bool windows_8_or_later() {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 2;
  version.wServicePackMajor = 0;
  ULONGLONG condition = 0;
  condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                            condition) != FALSE;
}

}  // namespace brisk
