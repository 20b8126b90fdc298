#include "platform/file_links_linux.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisk {

std::optional<std::string> follow_links(std::string& path) {
  constexpr int kMaxHops = 40;
  for (int hop = 0; hop < kMaxHops; ++hop) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
    std::string target(4096, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return std::string(strerror(errno));
    if (static_cast<std::size_t>(n) == target.size()) return std::string(strerror(ENAMETOOLONG));
    target.resize(static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (target.front() != '/' && slash != std::string::npos)
      target = path.substr(0, slash + 1) + target;
    path = std::move(target);
  }
  return std::string(strerror(ELOOP));
}

}  // namespace brisk
