#include "results/console_text.h"

#include <fmt/format.h>

#include "results/utf8.h"

namespace brisk {
namespace {

// C0, DEL, or C1 (U+0080..U+009F, encoded C2 80..C2 9F).
bool is_control(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) return lead < 0x20 || lead == 0x7F;
  return lead == 0xC2 && static_cast<unsigned char>(sequence[1]) <= 0x9F;
}

void append_escaped(std::string& out, std::string_view bytes) {
  for (const char c : bytes) out += fmt::format("\\x{:02x}", static_cast<unsigned char>(c));
}

}  // namespace

std::string console_safe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Sequence found = utf8_sequence(text, i);
    // An invalid byte is escaped alone: the bytes after it may well start a
    // valid sequence of their own.
    const std::string_view sequence = text.substr(i, found.valid ? found.length : 1);
    if (!found.valid || is_control(sequence)) {
      append_escaped(out, sequence);
    } else {
      out += sequence;
    }
    i += sequence.size();
  }
  return out;
}

}  // namespace brisk
