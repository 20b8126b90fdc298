#include "history/history_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "history/history_fixture.h"
#include "history/history_paths.h"
#include "platform/file_replace.h"

namespace brisk {
namespace {

using testing::ScratchDir;

TEST(HistoryNames, SortByTimeAndDifferWithinOneSecond) {
  const std::string earlier = history_file_name(1765312985, random_name_part());
  const std::string later = history_file_name(1765312986, random_name_part());
  EXPECT_EQ(earlier.substr(0, 19), "2025-12-09T204305Z-");
  EXPECT_LT(earlier, later);
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) names.insert(history_file_name(1765312985, random_name_part()));
  EXPECT_EQ(names.size(), 200u);
}

TEST(HistoryNames, ShortIdIsTheRandomPartsStart) {
  EXPECT_EQ(short_id("2026-12-09T204305Z-7f3k2a9qabcd.json"), "7f3k2a9q");
  EXPECT_EQ(short_id("foreign.json"), "foreign");
  const std::string part = random_name_part();
  EXPECT_EQ(part.size(), 12u);
  EXPECT_TRUE(std::all_of(part.begin(), part.end(), [](char c) {
    return std::string_view("0123456789abcdefghjkmnpqrstvwxyz").find(c) != std::string::npos;
  }));
}

TEST(HistorySaver, TwoSaversStartedTogetherWriteTwoFiles) {
  ScratchDir dir;
  const ResultsRecord record = testing::make_record("2026-12-09T20:43:05Z", {{"none", {100}}});
  HistorySaver first(dir.utf8("nested/results"), replace_file_atomically);
  HistorySaver second(dir.utf8("nested/results"), replace_file_atomically);
  EXPECT_FALSE(first.path());
  first.write(record);
  second.write(record);
  ASSERT_TRUE(first.path());
  ASSERT_TRUE(second.path());
  EXPECT_NE(*first.path(), *second.path());
  EXPECT_EQ(dir.listing().size(), 4u);  // nested, results and two files
  EXPECT_EQ(testing::read_file(testing::utf8_path(*first.path())), render_json(record));
}

TEST(HistorySaver, FailureWarnsOnceAndIsRetried) {
  ScratchDir dir;
  int calls = 0;
  bool fail = true;
  std::string written;
  HistorySaver saver(
      dir.utf8("results"),
      [&](const std::string&, std::string_view contents) -> std::optional<std::string> {
        ++calls;
        if (fail) return std::string("disk full");
        written = contents;
        return std::nullopt;
      });
  const ResultsRecord record = testing::make_record("2026-12-09T20:43:05Z", {{"none", {100}}});
  ::testing::internal::CaptureStderr();
  saver.write(record);
  saver.write(record);
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(warnings, "warning: results not saved in \"" + dir.utf8("results") + "\": disk full\n");
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(saver.path());
  fail = false;
  saver.write(record);
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(saver.path());
  EXPECT_EQ(written, render_json(record));
}

TEST(HistorySaver, NoFolderWarnsWithoutWriting) {
  int calls = 0;
  HistorySaver saver("", [&](const std::string&, std::string_view) -> std::optional<std::string> {
    ++calls;
    return std::nullopt;
  });
  ::testing::internal::CaptureStderr();
  saver.write(testing::make_record("2026-12-09T20:43:05Z", {{"none", {100}}}));
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(warnings.find("warning: results not saved: "), std::string::npos);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(saver.path());
}

TEST(HistorySaver, FolderThatIsAFileFailsWithAReason) {
  ScratchDir dir;
  testing::write_file(dir.path() / "blocked", "x");
  HistorySaver saver(dir.utf8("blocked/results"), replace_file_atomically);
  ::testing::internal::CaptureStderr();
  saver.write(testing::make_record("2026-12-09T20:43:05Z", {{"none", {100}}}));
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(warnings.rfind("warning: results not saved in \"", 0), 0u) << warnings;
  EXPECT_FALSE(saver.path());
}

}  // namespace
}  // namespace brisk
