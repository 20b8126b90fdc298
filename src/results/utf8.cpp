#include "results/utf8.h"

namespace brisk {

Utf8Sequence utf8_sequence(std::string_view text, std::size_t start) {
  const auto lead = static_cast<unsigned char>(text[start]);
  if (lead < 0x80) return {1, true};
  // The second byte's range excludes overlong forms (E0, F0), surrogates
  // (ED) and code points above U+10FFFF (F4).
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
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
    return {0, false};
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (start + k >= text.size()) return {k, false};
    const auto next = static_cast<unsigned char>(text[start + k]);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return {k, false};
  }
  return {length, true};
}

}  // namespace brisk
