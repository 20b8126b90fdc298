// Linux: the file and a spare copy one rewrite behind, swapped by
// renameat2(RENAME_EXCHANGE) once the spare is complete and flushed.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <utility>

#include "platform/file_links_linux.h"
#include "platform/file_replace.h"
#include "platform/growing_file.h"

namespace brisk {
namespace {

constexpr std::size_t kMaxBaseInSpareName = 200;  // the name must fit NAME_MAX
constexpr int kNameAttempts = 100;

std::string reason(int error) { return strerror(error); }

// An open copy, and the epoch and stable length of the contents it holds.
struct Copy {
  int fd = -1;
  std::uint64_t epoch = 0;
  std::size_t stable = 0;
};

std::size_t total_size(std::span<const std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  return size;
}

std::optional<std::string> write_at(int fd, std::string_view bytes, off_t offset) {
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return reason(errno);
    }
    if (n == 0) return reason(EIO);  // no progress: never loop forever
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return std::nullopt;
}

// Cuts `copy` back to the bytes it shares with the new contents, writes the
// rest and flushes it.
std::optional<std::string> bring_up_to_date(Copy& copy, std::span<const std::string_view> pieces,
                                            std::uint64_t epoch, std::size_t stable) {
  const std::size_t total = total_size(pieces);
  const std::size_t from = copy.epoch == epoch ? std::min({copy.stable, stable, total}) : 0;
  copy.stable = 0;  // until it is complete again
  if (ftruncate(copy.fd, static_cast<off_t>(from)) != 0) return reason(errno);
  std::size_t position = 0;
  for (std::string_view piece : pieces) {
    const std::size_t end = position + piece.size();
    if (end > from) {
      const std::size_t skip = from > position ? from - position : 0;
      if (auto failure =
              write_at(copy.fd, piece.substr(skip), static_cast<off_t>(position + skip))) {
        return failure;
      }
    }
    position = end;
  }
  if (fsync(copy.fd) != 0) return reason(errno);
  copy.epoch = epoch;
  copy.stable = std::min(stable, total);
  return std::nullopt;
}

bool same_file(const std::string& path, int fd) {
  struct stat by_name {};
  struct stat by_fd {};
  return stat(path.c_str(), &by_name) == 0 && fstat(fd, &by_fd) == 0 &&
         by_name.st_dev == by_fd.st_dev && by_name.st_ino == by_fd.st_ino;
}

void sync_directory(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

struct GrowingFile::Copies {
  std::string target;  // the path with its links followed
  std::string dir;
  std::string spare_name;
  Copy live;   // the copy at `target`, once one was written
  Copy spare;  // the copy at `spare_name`, one rewrite behind
  bool swapping = true;

  ~Copies() {
    if (live.fd >= 0) close(live.fd);
    drop_spare();
  }

  void drop_spare() {
    if (spare.fd < 0) return;
    close(spare.fd);
    unlink(spare_name.c_str());
    spare = Copy();
  }

  // ".<name>.brisk-spare" beside the file: the same file system, so the two
  // names can be swapped, and hidden from plain listings. One that a killed
  // sweep left behind is a stale copy of this same file: it goes, and a new
  // one is made with O_EXCL, so a link planted there is never followed.
  std::optional<std::string> create_spare() {
    const std::size_t slash = target.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    spare_name = prefix + "." + base.substr(0, kMaxBaseInSpareName) + ".brisk-spare";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      unlink(spare_name.c_str());
      const int fd = open(spare_name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        spare = Copy{fd, 0, 0};
        return std::nullopt;
      }
      if (errno != EEXIST) return reason(errno);
    }
    return reason(EEXIST);
  }

  // The spare, complete, takes the file's name; the old file is let go.
  std::optional<std::string> rename_spare_over() {
    if (rename(spare_name.c_str(), target.c_str()) != 0) return reason(errno);
    if (live.fd >= 0) close(live.fd);
    live = spare;
    spare = Copy();
    sync_directory(dir);
    return std::nullopt;
  }

  std::optional<std::string> write(std::span<const std::string_view> pieces, std::uint64_t epoch,
                                   std::size_t stable) {
    if (spare.fd < 0) {
      if (auto failure = create_spare()) return failure;
    }
    if (auto failure = bring_up_to_date(spare, pieces, epoch, stable)) {
      drop_spare();
      return failure;
    }
    // The first write, or someone else put a file of their own there.
    if (live.fd < 0 || !same_file(target, live.fd)) return rename_spare_over();
    if (renameat2(AT_FDCWD, spare_name.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
      const int error = errno;
      if (error != EINVAL && error != ENOSYS && error != ENOTSUP) return reason(error);
      swapping = false;
      return rename_spare_over();
    }
    std::swap(live, spare);
    sync_directory(dir);
    return std::nullopt;
  }
};

GrowingFile::GrowingFile(std::string path) : path_(std::move(path)) {}

GrowingFile::~GrowingFile() = default;

std::optional<std::string> GrowingFile::write(std::span<const std::string_view> pieces,
                                              std::uint64_t epoch, std::size_t stable) {
  try {
    if (!copies_) {
      if (path_.empty()) return reason(ENOENT);
      auto copies = std::make_unique<Copies>();
      copies->target = path_;
      if (auto failure = follow_links(copies->target)) return failure;
      const std::size_t slash = copies->target.rfind('/');
      copies->dir = slash == std::string::npos ? "."
                    : slash == 0               ? "/"
                                               : copies->target.substr(0, slash);
      copies_ = std::move(copies);
    }
    if (!copies_->swapping) {
      std::string contents;
      for (const std::string_view piece : pieces) contents += piece;
      return replace_file_atomically(path_, contents);
    }
    return copies_->write(pieces, epoch, stable);
  } catch (const std::bad_alloc&) {
    return reason(ENOMEM);
  }
}

}  // namespace brisk
