// Joining names and choices into the parser's texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brisk::argparse {

// The parts with `separator` between each two of them.
inline std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace brisk::argparse
