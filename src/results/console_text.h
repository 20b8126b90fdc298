// Text that brisk did not write itself (file names found in a results folder,
// the ids made of them, names on its command line), made safe to print on a
// console: a terminal must never run a sequence hidden in a file name.
#pragma once

#include <string>
#include <string_view>

namespace brisk {

// `text` with every byte that a terminal could act on written as a visible
// escape, "\x" and two lower-case hex digits, as ls and git show such names:
// the C0 controls, DEL, the C1 controls U+0080..U+009F (each byte of their
// UTF-8 form: "\xc2\x9b") and every byte that is not part of valid UTF-8
// (a lone 0x9B is "\x9b"; overlong forms, surrogates and truncated sequences
// are invalid). Printable Unicode, multi-byte or not, is kept as it is, and
// so is a backslash: Windows paths are full of them, and the escapes are for
// the eye, not for typing the name back.
std::string console_safe(std::string_view text);

}  // namespace brisk
