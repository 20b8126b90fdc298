// Which pages field memory got: per block, and summed over every block of a
// run. A score made on huge pages is not the score of the same machine on
// ordinary pages, so every run records the kind and how much of its field
// memory the kernel really put on huge pages.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

namespace brisk {

enum class PageKind {
  ordinary,     // the system's base pages, never huge pages
  transparent,  // transparent huge pages asked for; the kernel decides how many
  hugetlb,      // Linux's reserved huge page pool (MAP_HUGETLB)
  large,        // Windows large pages (MEM_LARGE_PAGES)
};

// "ordinary", "transparent", "hugetlb" or "large": the results files' names.
std::string_view page_kind_name(PageKind kind);

// The field memory of a run, all blocks together.
struct FieldPages {
  PageKind kind = PageKind::ordinary;  // the weakest kind any block got
  std::uint64_t bytes = 0;             // of every block, as mapped
  std::uint64_t huge_bytes = 0;        // of them on huge pages
  std::uint64_t blocks = 0;

  // Share of the bytes on huge pages in percent; 0 without bytes.
  double huge_percent() const;
};

// Counts one block into `pages`. Its huge bytes are capped at its size. The
// kind of the sum is the weakest of its blocks (ordinary, then transparent,
// then a reserved pool), so a run is never labelled better than its worst
// block; the share tells how much of it all is on huge pages.
void add_block(FieldPages& pages, PageKind kind, std::uint64_t bytes, std::uint64_t huge_bytes);

// The blocks of one run, counted by every worker thread as it gets them.
class PageTally {
 public:
  void add(PageKind kind, std::uint64_t bytes, std::uint64_t huge_bytes);
  // None until a block was counted.
  std::optional<FieldPages> total() const;

 private:
  mutable std::mutex mutex_;
  FieldPages pages_;
};

}  // namespace brisk
