// Text to unsigned integer conversion as the parser applies it to values.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brisk::argparse {

// The value of a non-empty string of decimal digits that fits in 32 bits
// ("007" is 7); no sign, blank, prefix or trailing character is accepted.
std::optional<std::uint32_t> parse_uint32(std::string_view text);
// The same for 64 bits.
std::optional<std::uint64_t> parse_uint64(std::string_view text);

}  // namespace brisk::argparse
