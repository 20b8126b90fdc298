// Linux-only checks of the file, stream, command-line and OS-description
// backends against the real system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/console_os.h"
#include "platform/file_replace.h"
#include "platform/os_info.h"
#include "platform/scratch_dir.h"

namespace brisk {
namespace {

using testing::read_file;
using testing::ScratchDir;
using testing::write_file;

// Runs `body` in a child process, whose descriptors, limits and signal
// dispositions it may change freely; the child writes `message` back.
struct ChildResult {
  int exit_status = -1;
  std::string message;
};

ChildResult run_in_child(const std::function<int(std::string& message)>& body) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_fds[0]);
    std::string message;
    const int status = body(message);
    if (write(pipe_fds[1], message.data(), message.size()) < 0) _exit(100);
    _exit(status);  // never back into the test runner
  }
  close(pipe_fds[1]);
  ChildResult result;
  char buffer[256];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.message.append(buffer, n);
  close(pipe_fds[0]);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  }
  return result;
}

// A write that fails part-way (a full disk, a quota) must neither truncate
// the previous file nor leave the temporary one behind. A file-size limit
// makes write() stop short of the end and then fail with EFBIG.
TEST(LinuxFileReplace, WriteFailingMidFileKeepsThePreviousFile) {
  ScratchDir dir;
  const std::string target = dir.utf8("results.json");
  write_file(target, "previous complete file\n");
  const ChildResult child = run_in_child([&](std::string& message) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    const auto failure = replace_file_atomically(target, std::string(64 * 1024, 'x'));
    if (!failure) return 1;
    message = *failure;
    return 0;
  });
  EXPECT_EQ(child.exit_status, 0);
  EXPECT_EQ(child.message, strerror(EFBIG));
  EXPECT_EQ(read_file(target), "previous complete file\n");
  EXPECT_EQ(dir.listing(), std::vector<std::string>{"results.json"});
}

// A temporary file made by mkstemp is 0600: the result must carry the mode
// any new file gets (0644 less the umask), both when created and replaced.
TEST(LinuxFileReplace, FileGetsTheUsualModeLessTheUmask) {
  ScratchDir dir;
  const std::string target = dir.utf8("results.json");
  const mode_t saved = umask(027);
  const auto created = replace_file_atomically(target, "1");
  struct stat first {};
  stat(target.c_str(), &first);
  umask(022);
  const auto replaced = replace_file_atomically(target, "2");
  struct stat second {};
  stat(target.c_str(), &second);
  umask(saved);
  EXPECT_EQ(created, std::nullopt);
  EXPECT_EQ(replaced, std::nullopt);
  EXPECT_EQ(first.st_mode & 07777, 0640u);
  EXPECT_EQ(second.st_mode & 07777, 0644u);
}

// A link given as the results file is written through: the file it names gets
// the contents and the link stays, relative links and chains included.
TEST(LinuxFileReplace, SymbolicLinkIsWrittenThrough) {
  ScratchDir dir;
  ASSERT_EQ(mkdir(dir.utf8("real").c_str(), 0755), 0);
  write_file(dir.path() / "real" / "r.json", "old\n");
  ASSERT_EQ(symlink("real/r.json", dir.utf8("link.json").c_str()), 0);
  ASSERT_EQ(symlink("link.json", dir.utf8("chain.json").c_str()), 0);
  ASSERT_EQ(symlink("real/new.json", dir.utf8("dangling.json").c_str()), 0);
  ASSERT_EQ(symlink("loop.json", dir.utf8("loop.json").c_str()), 0);
  EXPECT_EQ(replace_file_atomically(dir.utf8("chain.json"), "new\n"), std::nullopt);
  EXPECT_EQ(read_file(dir.path() / "real" / "r.json"), "new\n");
  EXPECT_EQ(replace_file_atomically(dir.utf8("dangling.json"), "made\n"), std::nullopt);
  EXPECT_EQ(read_file(dir.path() / "real" / "new.json"), "made\n");
  for (const char* link : {"link.json", "chain.json", "dangling.json"}) {
    struct stat st {};
    ASSERT_EQ(lstat(dir.utf8(link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
  }
  EXPECT_EQ(replace_file_atomically(dir.utf8("loop.json"), "x"),
            std::optional<std::string>(strerror(ELOOP)));
}

bool is_dev_null(int fd) {
  struct stat there {
  }, null{};
  if (fstat(fd, &there) != 0 || stat("/dev/null", &null) != 0) return false;
  return S_ISCHR(there.st_mode) && there.st_rdev == null.st_rdev &&
         (fcntl(fd, F_GETFL) & O_ACCMODE) == O_WRONLY;
}

bool same_file(int fd, const struct stat& before) {
  struct stat now {};
  return fstat(fd, &now) == 0 && now.st_dev == before.st_dev && now.st_ino == before.st_ino;
}

TEST(LinuxStandardStreams, ClosedOutputDescriptorsGetDevNull) {
  struct Case {
    const char* label;
    std::vector<int> closed;
    bool stdout_reported;
  };
  const std::vector<Case> cases = {
      {"all open", {}, false},
      {"stderr closed", {2}, false},
      {"stdout closed", {1}, true},
      // With standard input closed too, open() would hand out 0, not 1.
      {"all three closed", {0, 1, 2}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const ChildResult child = run_in_child([&](std::string& message) {
      struct stat before[3]{};
      for (int fd = 0; fd < 3; ++fd) fstat(fd, &before[fd]);
      for (const int fd : c.closed) close(fd);
      const auto reason = console_os::claim_closed_standard_streams();
      message = reason.value_or("");
      for (const int fd : {1, 2}) {
        const bool was_closed = std::find(c.closed.begin(), c.closed.end(), fd) != c.closed.end();
        if (was_closed ? !is_dev_null(fd) : !same_file(fd, before[fd])) return 10 + fd;
      }
      return 0;
    });
    EXPECT_EQ(child.exit_status, 0);
    EXPECT_EQ(child.message, c.stdout_reported ? strerror(EBADF) : "");
  }
}

TEST(LinuxOsServices, OsInfoAndCommandLine) {
  const OsInfo info = read_os_info();
  EXPECT_EQ(info.family, "linux");
  EXPECT_FALSE(info.name.empty());
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(info.kernel, std::string(names.release));
  EXPECT_FALSE(info.build.has_value());
  EXPECT_FALSE(info.wine.has_value());

  const char* const argv[] = {"brisk", "--output", "r\xC3\xA9sultats.json", ""};
  EXPECT_EQ(command_line_utf8(4, argv),
            (std::vector<std::string>{"brisk", "--output", "r\xC3\xA9sultats.json", ""}));
}

}  // namespace
}  // namespace brisk
