// Windows: the version from ntdll's RtlGetVersion, which tells the truth,
// where GetVersionEx answers what the program's manifest declares; and Wine's
// own version when ntdll is Wine's.
#include <windows.h>

#include "platform/os_info.h"

namespace brisk {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
using WineGetVersionFn = const char*(CDECL*)();

// GetProcAddress returns a generic function pointer; going through void(*)()
// keeps the cast to the real type free of -Wcast-function-type.
template <typename Fn>
Fn ntdll_function(const char* name) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

}  // namespace

OsInfo read_os_info() {
  OsInfo info;
  info.family = "windows";
  info.name = "Windows";
  if (const auto rtl_get_version = ntdll_function<RtlGetVersionFn>("RtlGetVersion")) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (rtl_get_version(&version) == 0) {  // STATUS_SUCCESS
      info.version =
          std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion);
      info.build = static_cast<std::uint32_t>(version.dwBuildNumber);
    }
  }
  if (const auto wine_get_version = ntdll_function<WineGetVersionFn>("wine_get_version")) {
    if (const char* wine = wine_get_version()) info.wine = std::string(wine);
  }
  return info;
}

}  // namespace brisk
