// Where one UTF-8 sequence ends, for the code that must tell valid text from
// bytes that only look like it: the results reader, which refuses them, and
// the console escaping, which shows them.
#pragma once

#include <cstddef>
#include <string_view>

namespace brisk {

struct Utf8Sequence {
  // Valid: the sequence's length (1 for ASCII). Invalid: how many bytes from
  // the start come before the first byte that makes it invalid (0 for a bad
  // lead byte; text.size() - start when the text ends inside the sequence).
  std::size_t length = 0;
  bool valid = false;
};

// The sequence at text[start] (start < text.size()). Overlong forms,
// surrogates and code points above U+10FFFF are invalid.
Utf8Sequence utf8_sequence(std::string_view text, std::size_t start);

}  // namespace brisk
