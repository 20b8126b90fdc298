#include "memory/memory_smaps.h"

#include <algorithm>
#include <charconv>

namespace brisk {
namespace {

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool parse_hex(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return error == std::errc() && end == text.data() + text.size();
}

// "7f1c2a000000-7f1c2a600000 rw-p 00000000 00:00 0   [heap]": a mapping's
// first line. Field lines start with a name and a colon, which no address has.
bool parse_range(std::string_view line, std::uint64_t& begin, std::uint64_t& end) {
  const std::string_view range = line.substr(0, line.find(' '));
  const std::size_t dash = range.find('-');
  if (dash == std::string_view::npos) return false;
  return parse_hex(range.substr(0, dash), begin) && parse_hex(range.substr(dash + 1), end) &&
         begin < end;
}

// "   4096 kB" in bytes; none unless it is a count of kB.
std::optional<std::uint64_t> kilobytes(std::string_view text) {
  text = trimmed(text);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || trimmed(text.substr(end - text.data())) != "kB") return std::nullopt;
  if (value > UINT64_MAX / 1024) return std::nullopt;
  return value * 1024;
}

std::vector<std::string> flag_list(std::string_view text) {
  std::vector<std::string> flags;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find(' ', start);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view flag = trimmed(text.substr(start, stop - start));
    if (!flag.empty()) flags.emplace_back(flag);
    start = stop + 1;
  }
  return flags;
}

}  // namespace

std::vector<SmapsMapping> parse_smaps(std::string_view text) {
  std::vector<SmapsMapping> mappings;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    const std::size_t colon = line.find(':');
    const std::string_view name = colon == std::string_view::npos ? "" : line.substr(0, colon);
    if (!name.empty() && name.find(' ') == std::string_view::npos &&
        name.find('-') == std::string_view::npos) {
      if (mappings.empty()) continue;  // a field before any mapping
      const std::string_view value = line.substr(colon + 1);
      if (name == "AnonHugePages") {
        mappings.back().anon_huge_bytes = kilobytes(value).value_or(0);
      } else if (name == "VmFlags") {
        mappings.back().vm_flags = flag_list(value);
      }
      continue;
    }
    SmapsMapping mapping;
    if (parse_range(line, mapping.begin, mapping.end)) mappings.push_back(std::move(mapping));
  }
  return mappings;
}

std::uint64_t huge_bytes_in_range(const std::vector<SmapsMapping>& mappings, std::uint64_t begin,
                                  std::uint64_t end) {
  std::uint64_t total = 0;
  for (const SmapsMapping& m : mappings) {
    const std::uint64_t from = std::max(begin, m.begin);
    const std::uint64_t to = std::min(end, m.end);
    if (from >= to) continue;
    const std::uint64_t size = m.end - m.begin;
    const std::uint64_t huge = std::min(m.anon_huge_bytes, size);
    if (to - from == size) {
      total += huge;
    } else {
      total += static_cast<std::uint64_t>(static_cast<long double>(huge) * (to - from) / size);
    }
  }
  return std::min(total, end > begin ? end - begin : 0);
}

std::optional<SmapsMapping> mapping_at(const std::vector<SmapsMapping>& mappings,
                                       std::uint64_t address) {
  for (const SmapsMapping& m : mappings) {
    if (address >= m.begin && address < m.end) return m;
  }
  return std::nullopt;
}

}  // namespace brisk
