// Windows backends only: text between brisk's UTF-8 and the UTF-16 of the
// wide Windows API, and the system's own wording of an error code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisk::windows_text {

// `utf8` as UTF-16; none when it is not valid UTF-8.
std::optional<std::wstring> to_utf16(std::string_view utf8);

// `utf16` as UTF-8; none when it holds an unpaired surrogate.
std::optional<std::string> to_utf8(std::wstring_view utf16);

// FormatMessageW's text for a GetLastError() code, in UTF-8 and without the
// line break it ends with ("Access is denied."); "error <code>" when the
// system has no text for it.
std::string system_message(std::uint32_t code);

}  // namespace brisk::windows_text
