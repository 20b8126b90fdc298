#include "app/format.h"

#include <fmt/format.h>

#include <array>

namespace brisk {

namespace {

constexpr std::array<std::string_view, 7> kByteUnits = {"B",   "KiB", "MiB", "GiB",
                                                        "TiB", "PiB", "EiB"};
constexpr std::array<std::string_view, 7> kDecimalPrefixes = {"", "K", "M", "G", "T", "P", "E"};

}  // namespace

std::string format_bytes(std::uint64_t bytes) {
  auto x = static_cast<double>(bytes);
  std::size_t i = 0;
  while (x >= 1024.0 && i < kByteUnits.size() - 1) {
    x *= 0.0009765625;  // exactly 1/1024
    ++i;
  }
  if (i == 0) return fmt::format("{} {}", bytes, kByteUnits[0]);
  return fmt::format("{:.2f} {}", x, kByteUnits[i]);
}

std::string format_hz(std::int64_t hz) { return format_si(static_cast<std::uint64_t>(hz), "Hz"); }

std::string format_si(std::uint64_t value, std::string_view unit) {
  auto x = static_cast<double>(value);
  std::size_t i = 0;
  while (x >= 1000.0 && i < kDecimalPrefixes.size() - 1) {
    x /= 1000.0;
    ++i;
  }
  if (i == 0) return fmt::format("{} {}{}", value, kDecimalPrefixes[0], unit);
  return fmt::format("{:.2f} {}{}", x, kDecimalPrefixes[i], unit);
}

std::string format_duration(std::uint64_t seconds) {
  const std::uint64_t h = seconds / 3600;
  const std::uint64_t m = (seconds % 3600) / 60;
  const std::uint64_t r = seconds % 60;
  if (h != 0) return fmt::format("{}h {}m {}s", h, m, r);
  if (m != 0) return fmt::format("{}m {}s", m, r);
  return fmt::format("{}s", r);
}

}  // namespace brisk
