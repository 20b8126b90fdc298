#include "platform/growing_file.h"

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

// A sweep's file as the writers keep it: a head, runs that only grow, a tail
// that changes every time; a new epoch when the head changes.
struct Version {
  std::string head;
  std::string runs;
  std::string tail;
  std::uint64_t epoch;
};

std::optional<std::string> write(GrowingFile& file, const Version& v) {
  const std::vector<std::string_view> pieces = {v.head, v.runs, v.tail};
  return file.write(pieces, v.epoch, v.head.size() + v.runs.size());
}

TEST(GrowingFile, EveryWriteLeavesExactlyTheNewContentsAndNoSpareAtTheEnd) {
  ScratchDir dir;
  const std::string target = dir.utf8("sweep.json");
  write_file(utf8_path(target), std::string(10000, 'o'));  // an older file, longer
  const std::vector<Version> versions = {
      {"{head", "", "]}", 1},
      {"{head with points", "", "],\"summary\":[]}", 2},
      {"{head with points", "run1", "],\"summary\":[1]}", 2},
      {"{head with points", "run1,run2", "]}", 2},
      {"{head with points", "run1,run2,run3", "],\"summary\":[1,2,3]}", 2},
      {"{head with points", "run1,run2,run3,run4", "],\"summary\":[1,2,3,4]}", 2},
      // The end: the head changes, everything after it moves.
      {"{finished head", "run1,run2,run3,run4", "]}", 3},
  };
  {
    GrowingFile file(target);
    for (const Version& v : versions) {
      SCOPED_TRACE(v.head + v.runs);
      ASSERT_EQ(write(file, v), std::nullopt);
      EXPECT_EQ(read_file(utf8_path(target)), v.head + v.runs + v.tail);
      EXPECT_LE(dir.listing().size(), 2u);  // the file and at most one spare
    }
  }
  EXPECT_EQ(dir.listing(), std::vector<std::string>{"sweep.json"});
  EXPECT_EQ(read_file(utf8_path(target)),
            "{finished head"
            "run1,run2,run3,run4"
            "]}");
}

TEST(GrowingFile, AFilePutThereByOthersIsReplacedNotWrittenInto) {
  ScratchDir dir;
  const std::string target = dir.utf8("sweep.json");
  const std::string other = dir.utf8("other.json");
  GrowingFile file(target);
  ASSERT_EQ(write(file, {"{h", "r1", "]}", 1}), std::nullopt);
  ASSERT_EQ(write(file, {"{h", "r1,r2", "]}", 1}), std::nullopt);
  // Someone moves the file away and puts their own there.
  std::filesystem::rename(utf8_path(target), utf8_path(other));
  write_file(utf8_path(target), "theirs");
  ASSERT_EQ(write(file, {"{h", "r1,r2,r3", "]}", 1}), std::nullopt);
  EXPECT_EQ(read_file(utf8_path(target)), "{hr1,r2,r3]}");
  EXPECT_EQ(read_file(utf8_path(other)), "{hr1,r2]}");
  ASSERT_EQ(write(file, {"{h", "r1,r2,r3,r4", "]}", 1}), std::nullopt);
  EXPECT_EQ(read_file(utf8_path(target)), "{hr1,r2,r3,r4]}");
  EXPECT_EQ(read_file(utf8_path(other)), "{hr1,r2]}");
}

TEST(GrowingFile, AFailureLeavesTheFileAsItWasAndTheNextWriteRecovers) {
  ScratchDir dir;
  const std::string target = dir.utf8("gone/sweep.json");
  std::filesystem::create_directory(dir.path() / "gone");
  GrowingFile file(target);
  ASSERT_EQ(write(file, {"{h", "r1", "]}", 1}), std::nullopt);
  std::filesystem::remove_all(dir.path() / "gone");
  EXPECT_NE(write(file, {"{h", "r1,r2", "]}", 1}), std::nullopt);
  std::filesystem::create_directory(dir.path() / "gone");
  ASSERT_EQ(write(file, {"{h", "r1,r2,r3", "],[3]}", 1}), std::nullopt);
  EXPECT_EQ(read_file(utf8_path(target)), "{hr1,r2,r3],[3]}");
  ASSERT_EQ(write(file, {"{h", "r1,r2,r3,r4", "]}", 1}), std::nullopt);
  EXPECT_EQ(read_file(utf8_path(target)), "{hr1,r2,r3,r4]}");
}

}  // namespace
}  // namespace brisk
