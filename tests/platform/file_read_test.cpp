#include "platform/file_read.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/scratch_dir.h"

namespace brisk {
namespace {

using testing::ScratchDir;
using testing::utf8_path;
using testing::write_file;

TEST(FileRead, ReadsExactlyTheBytesUpToTheLimit) {
  ScratchDir dir;
  const std::string name = "r\xC3\xA9sultats-\xE6\x97\xA5\xE6\x9C\xAC.json";  // résultats-日本.json
  const struct {
    const char* label;
    std::string contents;
    std::uint64_t limit;
  } cases[] = {
      {"CR LF and NUL untranslated", std::string("{\r\n\0\x1a}\n", 7), 7},
      {"empty", "", 0},
      {"large", std::string(3 << 20, 'L'), 3 << 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    write_file(utf8_path(dir.utf8(name)), c.contents);
    std::string contents = "stale";
    EXPECT_EQ(read_file_bounded(dir.utf8(name), c.limit, contents), std::nullopt);
    EXPECT_EQ(contents, c.contents);
  }
}

TEST(FileRead, SaysWhyAFileIsNotRead) {
  ScratchDir dir;
  write_file(dir.path() / "ten.json", "0123456789");
  std::filesystem::create_directory(dir.path() / "folder");
  // Sparse, and past 4 GiB: only its size is ever looked at.
  write_file(dir.path() / "huge.json", "");
  std::filesystem::resize_file(dir.path() / "huge.json", 5ull << 30);
  const struct {
    const char* name;
    std::uint64_t limit;
    const char* reason;
  } cases[] = {
      {"ten.json", 9, "is 10 bytes, larger than the limit of 9 bytes"},
      {"huge.json", 1 << 20, "is 5368709120 bytes, larger than the limit of 1048576 bytes"},
      {"folder", 1 << 20, "is a folder"},
      {"folder/", 1 << 20, "is a folder"},
      {"missing.json", 1 << 20, ""},  // in the system's own words
      {"ten.json/inside", 1 << 20, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string contents = "stale";
    const std::optional<std::string> failure =
        read_file_bounded(dir.utf8(c.name), c.limit, contents);
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->empty());
    EXPECT_NE(failure->find(c.reason), std::string::npos) << *failure;
    EXPECT_EQ(contents, "");
  }
}

}  // namespace
}  // namespace brisk
