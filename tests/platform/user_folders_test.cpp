#include "platform/user_folders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/scratch_dir.h"

namespace brisk {
namespace {

TEST(UserFolders, XdgRule) {
  struct Case {
    std::optional<std::string> xdg, home, expected;
  };
  const Case cases[] = {
      {"/x/data", "/home/a", "/x/data"},
      {std::nullopt, "/home/a", "/home/a/.local/share"},
      {"", "/home/a/", "/home/a/.local/share"},         // empty means unset
      {"relative", "/home/a", "/home/a/.local/share"},  // relative is ignored
      {std::nullopt, "/", "/.local/share"},
      {std::nullopt, std::nullopt, std::nullopt},
      {std::nullopt, "", std::nullopt},
      {"relative", "nowhere", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xdg_folder(c.xdg, c.home, ".local/share"), c.expected)
        << c.xdg.value_or("(unset)") << " " << c.home.value_or("(unset)");
  }
}

TEST(UserFolders, MakesParentsAndListsJsonFiles) {
  testing::ScratchDir dir;
  const std::string deep = dir.utf8("a/b/\xc3\xa9t\xc3\xa9");  // "été"
  ASSERT_FALSE(make_folders(deep));
  EXPECT_FALSE(make_folders(deep));  // already there
  testing::write_file(testing::utf8_path(deep + "/one.json"), "{}");
  testing::write_file(testing::utf8_path(deep + "/\xc3\xa9.json"), "{}x");
  testing::write_file(testing::utf8_path(deep + "/.hidden.json"), "{}");
  testing::write_file(testing::utf8_path(deep + "/notes.txt"), "");
  std::filesystem::create_directory(testing::utf8_path(deep + "/dir.json"));
  std::vector<FolderEntry> entries;
  ASSERT_FALSE(list_json_files(deep, entries));
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "one.json");
  EXPECT_EQ(entries[0].size, 2u);
  EXPECT_EQ(entries[1].name, "\xc3\xa9.json");
  EXPECT_EQ(entries[1].size, 3u);
  EXPECT_NE(entries[0].mtime_ns, 0);
}

TEST(UserFolders, MissingFolderListsEmptyAndAFileBlocksMaking) {
  testing::ScratchDir dir;
  std::vector<FolderEntry> entries;
  EXPECT_FALSE(list_json_files(dir.utf8("absent"), entries));
  EXPECT_TRUE(entries.empty());
  testing::write_file(dir.path() / "file", "");
  EXPECT_TRUE(make_folders(dir.utf8("file")));
  EXPECT_TRUE(make_folders(dir.utf8("file/below")));
}

TEST(UserFolders, EnvironmentAndRandomBytes) {
  EXPECT_FALSE(environment_variable("BRISK_SURELY_UNSET_VARIABLE_4711"));
  unsigned char a[16] = {}, b[16] = {};
  ASSERT_TRUE(random_bytes(a, sizeof a));
  ASSERT_TRUE(random_bytes(b, sizeof b));
  EXPECT_NE(std::string(a, a + 16), std::string(b, b + 16));
  EXPECT_GT(unix_time_now(), 1700000000);
}

}  // namespace
}  // namespace brisk
