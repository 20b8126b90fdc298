#include "memory/field_pages.h"

#include <algorithm>

namespace brisk {
namespace {

// Higher is a stronger promise of huge pages.
int strength(PageKind kind) {
  switch (kind) {
    case PageKind::ordinary:
      return 0;
    case PageKind::transparent:
      return 1;
    case PageKind::hugetlb:
    case PageKind::large:
      return 2;
  }
  return 0;
}

}  // namespace

std::string_view page_kind_name(PageKind kind) {
  switch (kind) {
    case PageKind::ordinary:
      return "ordinary";
    case PageKind::transparent:
      return "transparent";
    case PageKind::hugetlb:
      return "hugetlb";
    case PageKind::large:
      return "large";
  }
  return "ordinary";
}

double FieldPages::huge_percent() const {
  if (bytes == 0) return 0.0;
  return 100.0 * static_cast<double>(huge_bytes) / static_cast<double>(bytes);
}

void add_block(FieldPages& pages, PageKind kind, std::uint64_t bytes, std::uint64_t huge_bytes) {
  if (pages.blocks == 0 || strength(kind) < strength(pages.kind)) pages.kind = kind;
  pages.bytes += bytes;
  pages.huge_bytes += std::min(huge_bytes, bytes);
  ++pages.blocks;
}

void PageTally::add(PageKind kind, std::uint64_t bytes, std::uint64_t huge_bytes) {
  std::lock_guard lock(mutex_);
  add_block(pages_, kind, bytes, huge_bytes);
}

std::optional<FieldPages> PageTally::total() const {
  std::lock_guard lock(mutex_);
  if (pages_.blocks == 0) return std::nullopt;
  return pages_;
}

}  // namespace brisk
