// Reading a process's mappings as Linux describes them in /proc/PID/smaps:
// which address ranges are mapped, what the kernel put on transparent huge
// pages (AnonHugePages) and how each range was advised (VmFlags: "hg" for
// MADV_HUGEPAGE, "nh" for MADV_NOHUGEPAGE). Plain text in, figures out, so
// the arithmetic is tested with recorded text on any platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk {

struct SmapsMapping {
  std::uint64_t begin = 0;  // first address
  std::uint64_t end = 0;    // one past the last
  std::uint64_t anon_huge_bytes = 0;
  std::vector<std::string> vm_flags;  // two-letter flags, in the file's order
};

// Every mapping of the text, in its order (ascending addresses). Lines it
// does not know are skipped; a mapping without AnonHugePages has none.
std::vector<SmapsMapping> parse_smaps(std::string_view text);

// Bytes of [begin, end) on transparent huge pages. A mapping that lies inside
// the range counts whole; one that only overlaps it counts in proportion to
// the overlap (the text does not say where in the mapping its huge pages are).
std::uint64_t huge_bytes_in_range(const std::vector<SmapsMapping>& mappings, std::uint64_t begin,
                                  std::uint64_t end);

// The mapping that holds `address`, if any.
std::optional<SmapsMapping> mapping_at(const std::vector<SmapsMapping>& mappings,
                                       std::uint64_t address);

}  // namespace brisk
