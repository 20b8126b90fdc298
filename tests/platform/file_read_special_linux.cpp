// Files that are not what their size says, or not files at all: Linux has
// them ready-made.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/file_read.h"
#include "platform/scratch_dir.h"

namespace brisk {
namespace {

TEST(FileReadLinux, RefusesWhatIsNotARegularFile) {
  testing::ScratchDir dir;
  // Opening a FIFO with no writer would wait forever without O_NONBLOCK.
  const std::string fifo = dir.utf8("fifo.json");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    std::string contents;
    EXPECT_EQ(read_file_bounded(path, 1 << 20, contents), "is not a regular file");
  }
}

// /proc files say they are empty and then have contents: the reader must not
// take more than the size it checked.
TEST(FileReadLinux, StopsWhenMoreComesThanTheSizeSaid) {
  std::string contents;
  EXPECT_EQ(read_file_bounded("/proc/self/status", 1 << 20, contents), "changed while it was read");
  EXPECT_EQ(contents, "");
}

}  // namespace
}  // namespace brisk
