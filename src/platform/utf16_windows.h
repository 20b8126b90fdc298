// Windows backends only: text between brisk's UTF-8 and the UTF-16 of the
// wide Windows API, and the system's own wording of an error code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisk::windows_text {

// `utf8` as UTF-16; none when it is not valid UTF-8. The three-byte form of
// a surrogate code point (ED A0..ED BF, as file_name_to_utf8 writes an
// unpaired one) is taken as that surrogate, so such a name reaches its file.
std::optional<std::wstring> to_utf16(std::string_view utf8);

// `utf16` as UTF-8; none when it holds an unpaired surrogate.
std::optional<std::string> to_utf8(std::wstring_view utf16);

// A file name the system listed, as UTF-8 whatever it holds: NTFS takes any
// 16-bit units, unpaired surrogates included, and such a file must still be
// listed and opened. An unpaired surrogate is written as the three bytes of
// its code point; they are no valid UTF-8, so a console shows them escaped,
// and to_utf16 turns them back into the same name.
std::string file_name_to_utf8(std::wstring_view utf16);

// FormatMessageW's text for a GetLastError() code, in UTF-8 and without the
// line break it ends with ("Access is denied."); "error <code>" when the
// system has no text for it.
std::string system_message(std::uint32_t code);

}  // namespace brisk::windows_text
