#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/scratch_dir.h"

namespace brisk {
namespace {

using testing::read_file;
using testing::ScratchDir;
using testing::utf8_path;
using testing::write_file;

TEST(FileReplace, TargetHoldsExactlyTheNewBytes) {
  struct Case {
    const char* label;
    std::optional<std::string> old_contents;
    std::string new_contents;
  };
  const std::vector<Case> cases = {
      // Shorter than before: no byte of the old file may remain; CR LF and
      // NUL must pass untranslated (no text mode).
      {"shorter", std::string(4096, 'o'), std::string("{\r\n\"a\":\0}\n", 10)},
      {"empty", std::string("previous"), ""},
      {"new file", std::nullopt, "first\n"},
      {"large", std::string("x"), std::string(3 << 20, 'L')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    const std::string target = dir.utf8("results.json");
    if (c.old_contents) write_file(utf8_path(target), *c.old_contents);
    EXPECT_EQ(replace_file_atomically(target, c.new_contents), std::nullopt);
    EXPECT_EQ(read_file(utf8_path(target)), c.new_contents);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"results.json"});  // no temporary left
  }
}

// On Windows the name must reach the file system as UTF-16, not through the
// ANSI code page.
TEST(FileReplace, NonAsciiNameIsKeptExactly) {
  ScratchDir dir;
  const std::string name = "r\xC3\xA9sultats-\xE6\x97\xA5\xE6\x9C\xAC.json";  // résultats-日本.json
  EXPECT_EQ(replace_file_atomically(dir.utf8(name), "{}\n"), std::nullopt);
  EXPECT_EQ(dir.listing(), std::vector<std::string>{name});
  EXPECT_EQ(read_file(utf8_path(dir.utf8(name))), "{}\n");
}

// Windows needs the \\?\ form for names of MAX_PATH (260) units or more;
// without it such a file could be created up front and then fail mid-sweep.
TEST(FileReplace, NameLongerThanMaxPathIsWritten) {
  ScratchDir dir;
  std::string relative;
  for (int level = 0; level < 4; ++level) {
    relative += std::string(60, static_cast<char>('a' + level)) + "/";
    std::filesystem::create_directory(utf8_path(dir.utf8(relative)));
  }
  const std::string target = dir.utf8(relative + "results.json");
  ASSERT_GT(target.size(), 260u);
  EXPECT_EQ(replace_file_atomically(target, "first\n"), std::nullopt);
  EXPECT_EQ(replace_file_atomically(target, "second\n"), std::nullopt);
  EXPECT_EQ(read_file(utf8_path(target)), "second\n");
}

TEST(FileReplace, FailureLeavesEverythingAsItWas) {
  ScratchDir dir;
  write_file(dir.path() / "keep.json", "old complete file\n");
  std::filesystem::create_directory(dir.path() / "adir");
  write_file(dir.path() / "adir" / "inside.txt", "inside\n");
  const std::vector<std::string> before = dir.listing();
  const char* const targets[] = {
      "missing/out.json",   // the folder does not exist
      "adir",               // a directory is never replaced by a file
      "adir/",              // nor when named as a folder
      "keep.json/out.json"  // a file is no folder
  };
  for (const char* target : targets) {
    SCOPED_TRACE(target);
    const std::optional<std::string> failure =
        replace_file_atomically(dir.utf8(target), "new contents\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->empty());
    EXPECT_EQ(dir.listing(), before);
    EXPECT_EQ(read_file(dir.path() / "keep.json"), "old complete file\n");
    EXPECT_EQ(read_file(dir.path() / "adir" / "inside.txt"), "inside\n");
  }
}

}  // namespace
}  // namespace brisk
