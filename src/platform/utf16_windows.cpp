#include "platform/utf16_windows.h"

#include <windows.h>

#include <climits>
#include <memory>

namespace brisk::windows_text {

std::optional<std::wstring> to_utf16(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int in_size = static_cast<int>(utf8.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), in_size, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), in_size, out.data(), size) !=
      size) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> to_utf8(std::wstring_view utf16) {
  if (utf16.empty()) return std::string();
  if (utf16.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int in_size = static_cast<int>(utf16.size());
  const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), in_size,
                                       nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), in_size, out.data(), size,
                          nullptr, nullptr) != size) {
    return std::nullopt;
  }
  return out;
}

std::string system_message(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  // The system's buffer is freed however the conversion below ends.
  const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(buffer, &LocalFree);
  std::optional<std::string> text;
  if (length > 0 && buffer != nullptr) {
    std::wstring_view view(buffer, length);
    // System messages end in "\r\n", some with spaces before it; the final
    // period belongs to the sentence and stays.
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ')) {
      view.remove_suffix(1);
    }
    text = to_utf8(view);
  }
  if (!text || text->empty()) return "error " + std::to_string(code);
  return *text;
}

}  // namespace brisk::windows_text
