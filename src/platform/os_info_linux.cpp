// Linux: the distribution from os-release, the kernel from uname.
#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "platform/os_info.h"

namespace brisk {
namespace {

// /etc/os-release is the usual place; /usr/lib/os-release is the vendor's
// copy that systems without the former still ship.
std::string read_os_release() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  return {};
}

}  // namespace

OsInfo read_os_info() {
  OsInfo info = parse_os_release(read_os_release());
  utsname names{};
  if (uname(&names) == 0) info.kernel = std::string(names.release);
  return info;
}

}  // namespace brisk
