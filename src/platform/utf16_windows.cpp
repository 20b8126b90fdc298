#include "platform/utf16_windows.h"

#include <windows.h>

#include <climits>
#include <memory>

namespace brisk::windows_text {
namespace {

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void append_utf8(std::string& out, char32_t code_point) {
  const auto byte = [&](char32_t value) { out += static_cast<char>(value); };
  if (code_point < 0x80) {
    byte(code_point);
  } else if (code_point < 0x800) {
    byte(0xC0 | (code_point >> 6));
    byte(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    byte(0xE0 | (code_point >> 12));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  } else {
    byte(0xF0 | (code_point >> 18));
    byte(0x80 | ((code_point >> 12) & 0x3F));
    byte(0x80 | ((code_point >> 6) & 0x3F));
    byte(0x80 | (code_point & 0x3F));
  }
}

// UTF-8 that may hold surrogate code points in their three-byte form, as
// UTF-16; none for anything else that is not UTF-8 (overlong forms, stray or
// missing continuation bytes, code points above U+10FFFF).
std::optional<std::wstring> from_utf8_with_surrogates(std::string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    char32_t code_point = lead;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code_point = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code_point = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else if (lead >= 0x80) {
      return std::nullopt;
    }
    if (text.size() - i < length) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return std::nullopt;
      code_point = (code_point << 6) | (next & 0x3F);
    }
    if (code_point < 0x10000) {
      out += static_cast<wchar_t>(code_point);
    } else {
      out += static_cast<wchar_t>(0xD800 + ((code_point - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    }
    i += length;
  }
  return out;
}

}  // namespace

std::optional<std::wstring> to_utf16(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int in_size = static_cast<int>(utf8.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), in_size, nullptr, 0);
  // Refused: valid UTF-8 but for surrogates, or not UTF-8 at all.
  if (size <= 0) return from_utf8_with_surrogates(utf8);
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

std::string file_name_to_utf8(std::wstring_view utf16) {
  std::string out;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char32_t unit = static_cast<char16_t>(utf16[i]);
    if (is_high_surrogate(unit) && i + 1 < utf16.size() &&
        is_low_surrogate(static_cast<char16_t>(utf16[i + 1]))) {
      const char32_t next = static_cast<char16_t>(utf16[++i]);
      append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
    } else {
      append_utf8(out, unit);
    }
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
