// Windows: %LOCALAPPDATA% from the shell's known-folder table (Wine maps it
// into the prefix), wide-character file calls for any Unicode name, and the
// system's random number generator.
#include <windows.h>
// After windows.h: these need its types.
#include <bcrypt.h>
#include <shlobj.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/user_folders.h"
#include "platform/utf16_windows.h"

namespace brisk {
namespace {

// FOLDERID_LocalAppData, spelled out so no GUID library is needed.
const GUID kLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

std::string last_error() { return windows_text::system_message(GetLastError()); }

std::optional<std::string> local_app_data() {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(kLocalAppData, 0, nullptr, &path);
  std::optional<std::string> utf8;
  if (SUCCEEDED(result) && path != nullptr) utf8 = windows_text::to_utf8(path);
  CoTaskMemFree(path);
  if (utf8 && utf8->empty()) return std::nullopt;
  return utf8;
}

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::optional<std::string> make_wide_folders(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return windows_text::system_message(ERROR_DIRECTORY);
  }
  std::size_t cut = path.size();
  while (cut > 0 && !is_separator(path[cut - 1])) --cut;
  if (cut > 1) {
    const std::wstring parent = path.substr(0, cut - 1);
    // Stop at a drive ("C:") or a UNC share root; those exist or never will.
    if (!(parent.size() == 2 && parent[1] == L':') && !parent.empty() &&
        !is_separator(parent.back())) {
      if (auto failure = make_wide_folders(parent)) return failure;
    }
  }
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
    return std::nullopt;
  }
  return last_error();
}

}  // namespace

std::optional<std::string> environment_variable(const std::string& name) {
  const std::optional<std::wstring> wide_name = windows_text::to_utf16(name);
  if (!wide_name) return std::nullopt;
  const DWORD needed = GetEnvironmentVariableW(wide_name->c_str(), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(needed, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide_name->c_str(), value.data(), needed);
  if (got == 0 || got >= needed) return std::string();
  value.resize(got);
  return windows_text::to_utf8(value);
}

std::optional<std::string> user_data_folder() { return local_app_data(); }

std::optional<std::string> user_cache_folder() { return local_app_data(); }

std::optional<std::string> make_folders(const std::string& path) {
  if (path.empty()) return std::string("empty path");
  const std::optional<std::wstring> wide = windows_text::to_utf16(path);
  if (!wide) return std::string("the path is not valid UTF-8");
  return make_wide_folders(*wide);
}

std::optional<std::string> list_json_files(const std::string& path, std::vector<FolderEntry>& out) {
  out.clear();
  const std::optional<std::wstring> wide = windows_text::to_utf16(path);
  if (!wide) return std::string("the path is not valid UTF-8");
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = *wide + L"\\*.json";
  const HANDLE handle = FindFirstFileW(pattern.c_str(), &found);
  if (handle == INVALID_HANDLE_VALUE) {
    // No match, or no such folder: both list as empty.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    return windows_text::system_message(error);
  }
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // Any name, unpaired surrogates included: a file nobody can see in the
    // listing could not be found out and removed.
    const std::string name = windows_text::file_name_to_utf8(found.cFileName);
    // The pattern also matches 8.3 short names: check the long name again.
    if (name.empty() || name.front() == '.' || name.size() < 6 ||
        name.compare(name.size() - 5, 5, ".json") != 0) {
      continue;
    }
    const std::uint64_t size =
        (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
        found.ftLastWriteTime.dwLowDateTime;
    out.push_back({name, size, static_cast<std::int64_t>(ticks) * 100});
  } while (FindNextFileW(handle, &found));
  FindClose(handle);
  return std::nullopt;
}

bool random_bytes(void* out, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ULONG chunk = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

}  // namespace brisk
