// The page arithmetic of field memory, from recorded text: how much of a
// block smaps says is on huge pages, whether transparent huge pages can be
// had under a system setting, and what a run's blocks add up to.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "memory/field_pages.h"
#include "memory/memory_smaps.h"
#include "memory/memory_thp.h"

namespace brisk {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A recorded /proc/self/smaps of a run with two threads on transparent huge
// pages (fields of 10 MiB between guard pages), abridged to the lines that
// matter plus a few around them: the program's text, one fully backed block,
// one partly backed, a guard page, an ordinary block advised "nh", and the
// stack with its bracketed name.
const char* const kRecordedSmaps =
    "55cd3a7b0000-55cd3a7b2000 r--p 00000000 fe:00 247134                     /usr/bin/brisk\n"
    "Size:                  8 kB\n"
    "Rss:                   8 kB\n"
    "AnonHugePages:         0 kB\n"
    "THPeligible:           0\n"
    "VmFlags: rd mr mw me \n"
    "7fbaf33ff000-7fbaf3400000 ---p 00000000 00:00 0 \n"
    "Size:                  4 kB\n"
    "AnonHugePages:         0 kB\n"
    "VmFlags: mr mw me ac \n"
    "7fbaf3400000-7fbaf3e00000 rw-p 00000000 00:00 0 \n"
    "Size:              10240 kB\n"
    "KernelPageSize:        4 kB\n"
    "Anonymous:         10240 kB\n"
    "AnonHugePages:     10240 kB\n"
    "THPeligible:           1\n"
    "VmFlags: rd wr mr mw me ac hg \n"
    "7fbaf3e00000-7fbaf3e01000 ---p 00000000 00:00 0 \n"
    "Size:                  4 kB\n"
    "AnonHugePages:         0 kB\n"
    "VmFlags: mr mw me ac \n"
    "7fbaf8800000-7fbaf9200000 rw-p 00000000 00:00 0 \n"
    "Size:              10240 kB\n"
    "AnonHugePages:      6144 kB\n"
    "VmFlags: rd wr mr mw me ac hg \n"
    "7fbafa000000-7fbafa8c6000 rw-p 00000000 00:00 0 \n"
    "Size:               8984 kB\n"
    "AnonHugePages:         0 kB\n"
    "VmFlags: rd wr mr mw me ac nh \n"
    "7ffd1c2e0000-7ffd1c301000 rw-p 00000000 00:00 0                          [stack]\n"
    "Size:                132 kB\n"
    "AnonHugePages:         0 kB\n"
    "VmFlags: rd wr mr mw me gd ac \n";

constexpr std::uint64_t kFullBlock = 0x7fbaf3400000;
constexpr std::uint64_t kPartBlock = 0x7fbaf8800000;
constexpr std::uint64_t kOrdinaryBlock = 0x7fbafa000000;

TEST(Smaps, ReadsEveryMappingWithItsHugePagesAndAdvice) {
  const std::vector<SmapsMapping> mappings = parse_smaps(kRecordedSmaps);
  ASSERT_EQ(mappings.size(), 7u);
  EXPECT_EQ(mappings[0].begin, 0x55cd3a7b0000u);
  EXPECT_EQ(mappings[0].end, 0x55cd3a7b2000u);
  EXPECT_EQ(mappings[2].begin, kFullBlock);
  EXPECT_EQ(mappings[2].anon_huge_bytes, 10 * kMiB);
  EXPECT_EQ(mappings[2].vm_flags,
            (std::vector<std::string>{"rd", "wr", "mr", "mw", "me", "ac", "hg"}));
  EXPECT_EQ(mappings[4].anon_huge_bytes, 6 * kMiB);
  EXPECT_EQ(mappings[5].vm_flags.back(), "nh");
  EXPECT_EQ(mappings[6].end, 0x7ffd1c301000u);

  const std::optional<SmapsMapping> inside = mapping_at(mappings, kPartBlock + 12345);
  ASSERT_TRUE(inside.has_value());
  EXPECT_EQ(inside->begin, kPartBlock);
  EXPECT_FALSE(mapping_at(mappings, 0x1000).has_value());
  EXPECT_FALSE(mapping_at(mappings, kFullBlock + 10 * kMiB + 4096).has_value());  // a hole
}

TEST(Smaps, HugeBytesOfARange) {
  const std::vector<SmapsMapping> mappings = parse_smaps(kRecordedSmaps);
  struct Case {
    const char* label;
    std::uint64_t begin, end, expected;
  };
  const Case cases[] = {
      {"fully backed block", kFullBlock, kFullBlock + 10 * kMiB, 10 * kMiB},
      {"partly backed block", kPartBlock, kPartBlock + 10 * kMiB, 6 * kMiB},
      {"ordinary block", kOrdinaryBlock, kOrdinaryBlock + 8984 * 1024, 0},
      {"block with its guard pages", kFullBlock - 4096, kFullBlock + 10 * kMiB + 4096, 10 * kMiB},
      // Only half of a mapping in range: half of its huge pages.
      {"half of a partly backed block", kPartBlock, kPartBlock + 5 * kMiB, 3 * kMiB},
      {"both blocks", kFullBlock, kPartBlock + 10 * kMiB, 16 * kMiB},
      {"no mapping there", 0x1000, 0x2000, 0},
      {"empty range", kFullBlock, kFullBlock, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(huge_bytes_in_range(mappings, c.begin, c.end), c.expected) << c.label;
  }
}

// What the kernel could write, and what a damaged text looks like: nothing
// is invented, nothing exceeds a mapping's own size.
TEST(Smaps, OddTextGivesNoHugePagesItDoesNotState) {
  EXPECT_TRUE(parse_smaps("").empty());
  EXPECT_TRUE(parse_smaps("AnonHugePages: 2048 kB\n").empty());  // no mapping yet
  EXPECT_TRUE(parse_smaps("zz-10 rw-p 0 00:00 0\n").empty());
  EXPECT_TRUE(parse_smaps("2000-1000 rw-p 0 00:00 0\n").empty());  // ends before it begins

  const std::vector<SmapsMapping> no_unit =
      parse_smaps("1000-201000 rw-p 0 00:00 0\nAnonHugePages: 2048\n");
  ASSERT_EQ(no_unit.size(), 1u);
  EXPECT_EQ(no_unit[0].anon_huge_bytes, 0u);

  // More huge bytes than the mapping holds count as the whole mapping.
  const std::vector<SmapsMapping> over =
      parse_smaps("200000-400000 rw-p 0 00:00 0\r\nAnonHugePages:   4096 kB\r\n");
  ASSERT_EQ(over.size(), 1u);
  EXPECT_EQ(huge_bytes_in_range(over, 0x200000, 0x400000), 2 * kMiB);

  // A text cut off in the middle of a mapping keeps what it had.
  const std::string text(kRecordedSmaps);
  const std::vector<SmapsMapping> cut =
      parse_smaps(text.substr(0, text.find("THPeligible:           1")));
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[2].anon_huge_bytes, 10 * kMiB);
}

TEST(TransparentHugePages, TheBracketedChoice) {
  EXPECT_EQ(bracketed_choice("always [madvise] never\n"), "madvise");
  EXPECT_EQ(bracketed_choice("[always] madvise never"), "always");
  EXPECT_EQ(bracketed_choice("always madvise [never]\n"), "never");
  EXPECT_EQ(bracketed_choice("always inherit madvise [inherit] never"), "inherit");
  EXPECT_EQ(bracketed_choice(""), std::nullopt);  // no such file
  EXPECT_EQ(bracketed_choice("always madvise never"), std::nullopt);
  EXPECT_EQ(bracketed_choice("[] never"), std::nullopt);
  EXPECT_EQ(bracketed_choice("[madvise"), std::nullopt);
}

TEST(TransparentHugePages, WhenAnAdvisedMappingCanHaveThem) {
  const std::optional<std::string> none;
  struct Case {
    std::optional<std::string> mode, size_mode;
    int process;
    bool usable;
  };
  const Case cases[] = {
      {"madvise", none, 0, true},
      {"always", none, 0, true},
      {"never", none, 0, false},
      {none, none, 0, false},  // a kernel without them
      // The huge page size's own setting wins unless it defers to the system's.
      {"never", "madvise", 0, true},
      {"always", "never", 0, false},
      {"madvise", "inherit", 0, true},
      {"never", "inherit", 0, false},
      // prctl(PR_SET_THP_DISABLE): off for the process, unless advised regions
      // are kept.
      {"always", none, kThpDisabledBit, false},
      {"madvise", "madvise", kThpDisabledBit, false},
      {"madvise", none, kThpDisabledBit | kThpExceptAdvisedBit, true},
      {"never", none, kThpDisabledBit | kThpExceptAdvisedBit, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(transparent_pages_allowed(c.mode, c.size_mode, c.process), c.usable)
        << c.mode.value_or("(none)") << " / " << c.size_mode.value_or("(none)") << " / "
        << c.process;
  }
}

TEST(FieldPages, ARunIsLabelledByItsWeakestBlock) {
  FieldPages pages;
  EXPECT_EQ(pages.huge_percent(), 0.0);  // nothing yet: no division by zero
  add_block(pages, PageKind::hugetlb, 10 * kMiB, 10 * kMiB);
  EXPECT_EQ(pages.kind, PageKind::hugetlb);
  EXPECT_EQ(pages.huge_percent(), 100.0);
  // The pool ran dry for the next thread: transparent pages, partly backed.
  add_block(pages, PageKind::transparent, 10 * kMiB, 5 * kMiB);
  add_block(pages, PageKind::hugetlb, 20 * kMiB, 20 * kMiB);
  EXPECT_EQ(pages.kind, PageKind::transparent);
  EXPECT_EQ(pages.blocks, 3u);
  EXPECT_EQ(pages.huge_percent(), 87.5);
  // Huge bytes beyond a block's size are its size.
  add_block(pages, PageKind::transparent, 8 * kMiB, 80 * kMiB);
  EXPECT_EQ(pages.huge_bytes, 43 * kMiB);
  add_block(pages, PageKind::ordinary, 8 * kMiB, 0);
  EXPECT_EQ(pages.kind, PageKind::ordinary);

  PageTally tally;
  EXPECT_FALSE(tally.total().has_value());  // no block: no pages to record
  tally.add(PageKind::large, kMiB, kMiB);
  EXPECT_EQ(page_kind_name(tally.total()->kind), "large");
}

}  // namespace
}  // namespace brisk
