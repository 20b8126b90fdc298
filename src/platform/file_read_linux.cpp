// Linux: open without following the file into a blocking open (a FIFO would
// wait for a writer), fstat for the kind and size, then read no more than
// that size, and one byte more to see whether the file grew meanwhile.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/file_read.h"

namespace brisk {
namespace {

std::string reason(int error) { return strerror(error); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads up to `size` bytes into `buffer`; returns how many came, or -errno.
ssize_t read_fully(int fd, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -errno;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

std::optional<std::string> read_bounded(const std::string& path, std::uint64_t max_bytes,
                                        std::string& contents) {
  const Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return reason(errno);
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) return reason(errno);
  if (S_ISDIR(info.st_mode)) return std::string("is a folder");
  if (!S_ISREG(info.st_mode)) return std::string("is not a regular file");
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > max_bytes) return file_too_large_reason(size, max_bytes);
  // Regular files ignore O_NONBLOCK; clear it all the same so no read can
  // come back early with EAGAIN.
  fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  contents.resize(size);
  const ssize_t got = read_fully(fd.get(), contents.data(), contents.size());
  if (got < 0) return reason(static_cast<int>(-got));
  char extra = 0;
  const ssize_t more = read_fully(fd.get(), &extra, 1);
  if (more < 0) return reason(static_cast<int>(-more));
  if (static_cast<std::uint64_t>(got) != size || more != 0) {
    return std::string("changed while it was read");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> read_file_bounded(const std::string& path_utf8, std::uint64_t max_bytes,
                                             std::string& contents) {
  contents.clear();
  std::optional<std::string> failure;
  try {
    failure = read_bounded(path_utf8, max_bytes, contents);
  } catch (const std::bad_alloc&) {
    failure = reason(ENOMEM);
  }
  if (failure) contents.clear();
  return failure;
}

}  // namespace brisk
