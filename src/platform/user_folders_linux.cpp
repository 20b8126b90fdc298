// Linux: the XDG base-directory rule for the data and cache folders, POSIX
// calls for the rest.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/user_folders.h"

namespace brisk {

std::optional<std::string> environment_variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> user_data_folder() {
  return xdg_folder(environment_variable("XDG_DATA_HOME"), environment_variable("HOME"),
                    ".local/share");
}

std::optional<std::string> user_cache_folder() {
  return xdg_folder(environment_variable("XDG_CACHE_HOME"), environment_variable("HOME"), ".cache");
}

std::optional<std::string> make_folders(const std::string& path) {
  if (path.empty()) return std::string("empty path");
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return std::nullopt;
    return std::string(strerror(ENOTDIR));
  }
  // Parents first; a parent that another process makes meanwhile is fine.
  const std::size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (auto failure = make_folders(path.substr(0, slash))) return failure;
  }
  if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return std::nullopt;
    return std::string(strerror(ENOTDIR));
  }
  return std::string(strerror(errno));
}

std::optional<std::string> list_json_files(const std::string& path, std::vector<FolderEntry>& out) {
  out.clear();
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) {
    if (errno == ENOENT) return std::nullopt;
    return std::string(strerror(errno));
  }
  const int dir_fd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name.front() == '.' || name.size() < 6 ||
        name.compare(name.size() - 5, 5, ".json") != 0) {
      continue;
    }
    struct stat info {};
    if (fstatat(dir_fd, name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    out.push_back(
        {name, static_cast<std::uint64_t>(info.st_size),
         static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec});
  }
  closedir(dir);
  return std::nullopt;
}

bool random_bytes(void* out, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(out);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(bytes + done, size - done, 0);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  if (done == size) return true;
  // Old kernels lack getrandom: the device gives the same bytes.
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (done < size) {
    const ssize_t got = read(fd, bytes + done, size - done);
    if (got <= 0 && errno != EINTR) break;
    if (got > 0) done += static_cast<std::size_t>(got);
  }
  close(fd);
  return done == size;
}

}  // namespace brisk
