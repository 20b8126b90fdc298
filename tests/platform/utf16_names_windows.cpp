// Windows file names are 16-bit units that need not be valid UTF-16: a name
// with an unpaired surrogate must be listed, shown escaped and opened again.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "platform/scratch_dir.h"
#include "platform/user_folders.h"
#include "platform/utf16_windows.h"

namespace brisk {
namespace {

TEST(Utf16Names, UnpairedSurrogatesBecomeBytesThatAreNoUtf8AndComeBack) {
  struct Case {
    std::wstring name;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {L"plain.json", "plain.json"},
      {L"r\u00e9sultat.json", "r\xc3\xa9sultat.json"},
      {L"\xD83D\xDE00.json", "\xf0\x9f\x98\x80.json"},          // a pair: U+1F600
      {L"a\xD800.json", "a\xed\xa0\x80.json"},                  // a high surrogate alone
      {L"\xDC00z", "\xed\xb0\x80z"},                            // a low one first
      {L"\xDBFF\xDBFF\xDFFF", "\xed\xaf\xbf\xf4\x8f\xbf\xbf"},  // alone, then a pair
      {L"end\xD800", "end\xed\xa0\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(windows_text::file_name_to_utf8(c.name), c.utf8);
    EXPECT_EQ(windows_text::to_utf16(c.utf8), c.name);
  }
  // Whatever else is not UTF-8 is still refused.
  for (const std::string bad : {"\xff", "\xc0\xaf", "\xe2\x82", "a\x9b", "\xf4\x90\x80\x80"}) {
    EXPECT_EQ(windows_text::to_utf16(bad), std::nullopt) << bad;
  }
}

TEST(Utf16Names, AFileWithAnUnpairedSurrogateIsListedAndRead) {
  testing::ScratchDir dir;
  const std::string name = "x\xed\xa0\x80.json";
  // NTFS takes such a name; Wine's files live on a Unix file system that
  // holds UTF-8 names only, and refuses it.
  if (replace_file_atomically(dir.utf8(name), "{}\n")) {
    GTEST_SKIP() << "this file system cannot hold a name with an unpaired surrogate";
  }
  std::vector<FolderEntry> files;
  ASSERT_EQ(list_json_files(dir.utf8(), files), std::nullopt);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, name);
  std::string contents;
  EXPECT_EQ(read_file_bounded(dir.utf8(files[0].name), 100, contents), std::nullopt);
  EXPECT_EQ(contents, "{}\n");
}

}  // namespace
}  // namespace brisk
