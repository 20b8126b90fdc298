// Windows: CreateFileW on the UTF-16 name, GetFileType and GetFileSizeEx for
// the kind and size, then ReadFile no further than that size, and one byte
// more to see whether the file grew meanwhile. A folder cannot be opened
// without FILE_FLAG_BACKUP_SEMANTICS ("Access is denied."), so its attributes
// are asked first to say what it is.
#include <windows.h>

#include <new>
#include <string>

#include "platform/file_read.h"
#include "platform/utf16_windows.h"

namespace brisk {
namespace {

constexpr DWORD kMaxRead = 1u << 30;  // ReadFile takes a DWORD count

std::string last_error() { return windows_text::system_message(GetLastError()); }

bool is_folder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Reads up to `size` bytes into `buffer`; false (GetLastError set) on failure.
bool read_fully(HANDLE handle, char* buffer, std::size_t size, std::size_t& done) {
  done = 0;
  while (done < size) {
    const std::size_t left = size - done;
    const DWORD chunk = left < kMaxRead ? static_cast<DWORD>(left) : kMaxRead;
    DWORD got = 0;
    if (!ReadFile(handle, buffer + done, chunk, &got, nullptr)) return false;
    if (got == 0) break;
    done += got;
  }
  return true;
}

std::optional<std::string> read_bounded(const std::string& path, std::uint64_t max_bytes,
                                        std::string& contents) {
  const std::optional<std::wstring> wide = windows_text::to_utf16(path);
  if (!wide) return windows_text::system_message(ERROR_NO_UNICODE_TRANSLATION);
  if (wide->empty()) return windows_text::system_message(ERROR_PATH_NOT_FOUND);
  if (is_folder(*wide)) return std::string("is a folder");
  const Handle file(CreateFileW(wide->c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && is_folder(*wide)) return std::string("is a folder");
    return windows_text::system_message(error);
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return std::string("is not a regular file");
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return last_error();
  const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
  if (bytes > max_bytes) return file_too_large_reason(bytes, max_bytes);
  contents.resize(bytes);
  std::size_t got = 0;
  if (!read_fully(file.get(), contents.data(), contents.size(), got)) return last_error();
  char extra = 0;
  std::size_t more = 0;
  if (!read_fully(file.get(), &extra, 1, more)) return last_error();
  if (got != bytes || more != 0) return std::string("changed while it was read");
  return std::nullopt;
}

}  // namespace

std::optional<std::string> read_file_bounded(const std::string& path_utf8, std::uint64_t max_bytes,
                                             std::string& contents) {
  contents.clear();
  std::optional<std::string> failure;
  try {
    failure = read_bounded(path_utf8, max_bytes, contents);
  } catch (const std::bad_alloc&) {
    failure = windows_text::system_message(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (failure) contents.clear();
  return failure;
}

}  // namespace brisk
