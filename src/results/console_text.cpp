#include "results/console_text.h"

#include <fmt/format.h>

namespace brisk {
namespace {

// The length of the valid UTF-8 sequence at `i`; 0 when the bytes there are
// not one (overlong forms, surrogates, code points above U+10FFFF and a text
// that ends inside a sequence included).
std::size_t sequence_length(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

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
    const std::size_t length = sequence_length(text, i);
    // An invalid byte is escaped alone: the bytes after it may well start a
    // valid sequence of their own.
    const std::string_view sequence = text.substr(i, length == 0 ? 1 : length);
    if (length == 0 || is_control(sequence)) {
      append_escaped(out, sequence);
    } else {
      out += sequence;
    }
    i += sequence.size();
  }
  return out;
}

}  // namespace brisk
