#include "argparse/convert.h"

#include <limits>

namespace brisk::argparse {

namespace {

std::optional<std::uint64_t> parse_bounded(std::string_view text, std::uint64_t max) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    // value * 10 + digit <= max, checked without overflowing.
    if (value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

std::optional<std::uint32_t> parse_uint32(std::string_view text) {
  const auto value = parse_bounded(text, std::numeric_limits<std::uint32_t>::max());
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint64_t> parse_uint64(std::string_view text) {
  return parse_bounded(text, std::numeric_limits<std::uint64_t>::max());
}

}  // namespace brisk::argparse
