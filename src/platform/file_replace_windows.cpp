// Windows: a temporary file beside the target, written in full, flushed, then
// moved over the target with MoveFileExW, which replaces it in one step on
// the same volume. MoveFileExW refuses to replace a directory (Wine too:
// "Access denied."), so a directory named as the target stays as it was.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <string>

#include "platform/file_replace.h"
#include "platform/utf16_windows.h"

namespace brisk {
namespace {

// Temporary names must fit the 255 UTF-16 units of a file name even for a
// long target name.
constexpr std::size_t kMaxBaseInTempName = 200;
constexpr int kNameAttempts = 100;
constexpr DWORD kMaxWrite = 1u << 30;  // WriteFile takes a DWORD count

std::string last_error() { return windows_text::system_message(GetLastError()); }

std::wstring temp_name_for(const std::wstring& dir_prefix, const std::wstring& base) {
  static std::atomic<std::uint64_t> sequence{0};
  const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" +
                           std::to_wstring(sequence.fetch_add(1)) + L"-" +
                           std::to_wstring(GetTickCount64());
  return dir_prefix + L"." + base.substr(0, kMaxBaseInTempName) + L"." + tag + L".tmp";
}

// Deletes the temporary file unless the move took it.
class TempFile {
 public:
  ~TempFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  // CREATE_NEW never opens a file that is already there.
  std::optional<std::string> create(const std::wstring& dir_prefix, const std::wstring& base) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::wstring name = temp_name_for(dir_prefix, base);
      const HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
      if (handle != INVALID_HANDLE_VALUE) {
        handle_ = handle;
        path_ = std::move(name);
        return std::nullopt;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        return windows_text::system_message(error);
      }
    }
    return windows_text::system_message(ERROR_FILE_EXISTS);
  }
  std::optional<std::string> write_all(std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
      const DWORD chunk = left < kMaxWrite ? static_cast<DWORD>(left) : kMaxWrite;
      DWORD written = 0;
      if (!WriteFile(handle_, p, chunk, &written, nullptr)) return last_error();
      if (written == 0) return windows_text::system_message(ERROR_WRITE_FAULT);
      p += written;
      left -= written;
    }
    return std::nullopt;
  }
  std::optional<std::string> flush_and_close() {
    if (!FlushFileBuffers(handle_)) return last_error();
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) return last_error();
    return std::nullopt;
  }
  std::optional<std::string> move_to(const std::wstring& target) {
    if (!MoveFileExW(path_.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return last_error();
    }
    path_.clear();
    return std::nullopt;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
};

// Names of MAX_PATH (260) units or more, counting the temporary name beside
// the target, only work in the \\?\ form, which takes a full path with
// backslashes and no "." or ".." parts: GetFullPathNameW makes exactly that.
constexpr std::size_t kTempNameRoom = 60;

std::optional<std::wstring> long_path_form(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  if (full.size() + kTempNameRoom < MAX_PATH) return path;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::optional<std::string> replace(const std::string& path, std::string_view contents) {
  std::optional<std::wstring> target = windows_text::to_utf16(path);
  if (!target) return windows_text::system_message(ERROR_NO_UNICODE_TRANSLATION);
  if (target->empty()) return windows_text::system_message(ERROR_PATH_NOT_FOUND);
  target = long_path_form(*target);
  if (!target) return last_error();
  // The folder part ends at the last separator, or after the drive of a
  // drive-relative name ("C:results.json" lies in C:'s current folder).
  std::size_t separator = target->find_last_of(L"\\/");
  if (separator == std::wstring::npos && target->size() >= 2 && (*target)[1] == L':') {
    separator = 1;
  }
  const std::wstring dir_prefix =
      separator == std::wstring::npos ? L"" : target->substr(0, separator + 1);
  const std::wstring base =
      separator == std::wstring::npos ? *target : target->substr(separator + 1);
  TempFile temp;
  if (auto failure = temp.create(dir_prefix, base)) return failure;
  if (auto failure = temp.write_all(contents)) return failure;
  if (auto failure = temp.flush_and_close()) return failure;
  return temp.move_to(*target);
}

}  // namespace

std::optional<std::string> replace_file_atomically(const std::string& path,
                                                   std::string_view contents) {
  try {
    return replace(path, contents);
  } catch (const std::bad_alloc&) {
    return windows_text::system_message(ERROR_NOT_ENOUGH_MEMORY);
  }
}

}  // namespace brisk
