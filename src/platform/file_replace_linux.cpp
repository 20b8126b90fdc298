// Linux: a temporary file beside the target, written in full, fsync'ed, then
// renamed over the target; rename(2) within one directory is atomic, so a
// reader sees either the old file or the new one.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <new>
#include <string>

#include "platform/file_links_linux.h"
#include "platform/file_replace.h"

namespace brisk {
namespace {

// Temporary names must fit NAME_MAX (255 bytes) even for a long target name.
constexpr std::size_t kMaxBaseInTempName = 200;
constexpr int kNameAttempts = 100;

std::string reason(int error) { return strerror(error); }

// ".<name>.<pid>-<sequence>-<clock>": unique enough that O_EXCL rarely has to
// retry, and a leading dot keeps it out of plain directory listings.
std::string temp_name_for(const std::string& dir_prefix, const std::string& base) {
  static std::atomic<std::uint64_t> sequence{0};
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return dir_prefix + "." + base.substr(0, kMaxBaseInTempName) + "." + std::to_string(getpid()) +
         "-" + std::to_string(sequence.fetch_add(1)) + "-" + std::to_string(now.tv_nsec);
}

// Removes the temporary file unless the rename took it.
class TempFile {
 public:
  ~TempFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  // Creates it with O_EXCL, so an existing file (or a planted link) is never
  // opened; mode 0644 lets the kernel apply the umask, as for any new file.
  std::optional<std::string> create(const std::string& dir_prefix, const std::string& base) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string name = temp_name_for(dir_prefix, base);
      const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        fd_ = fd;
        path_ = std::move(name);
        return std::nullopt;
      }
      if (errno != EEXIST) return reason(errno);
    }
    return reason(EEXIST);
  }
  std::optional<std::string> write_all(std::string_view contents) {
    const char* p = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        return reason(errno);
      }
      if (n == 0) return reason(EIO);  // no progress: never loop forever
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    return std::nullopt;
  }
  std::optional<std::string> sync_and_close() {
    if (fsync(fd_) != 0) return reason(errno);
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports EINTR, and the
    // data is already on the disk: only a real error counts.
    if (close(fd) != 0 && errno != EINTR) return reason(errno);
    return std::nullopt;
  }
  std::optional<std::string> rename_to(const std::string& target) {
    if (rename(path_.c_str(), target.c_str()) != 0) return reason(errno);
    path_.clear();
    return std::nullopt;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// Makes the rename itself durable; a failure here leaves a complete file in
// place either way, so it is not reported.
void sync_directory(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

std::optional<std::string> replace(std::string path, std::string_view contents) {
  if (path.empty()) return reason(ENOENT);
  if (auto failure = follow_links(path)) return failure;
  const std::size_t slash = path.rfind('/');
  const std::string dir_prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : path.substr(0, slash);
  TempFile temp;
  if (auto failure = temp.create(dir_prefix, base)) return failure;
  if (auto failure = temp.write_all(contents)) return failure;
  if (auto failure = temp.sync_and_close()) return failure;
  if (auto failure = temp.rename_to(path)) return failure;
  sync_directory(dir);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> replace_file_atomically(const std::string& path,
                                                   std::string_view contents) {
  try {
    return replace(path, contents);
  } catch (const std::bad_alloc&) {
    return reason(ENOMEM);
  }
}

}  // namespace brisk
