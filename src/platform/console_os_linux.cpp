#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "platform/console_os.h"

namespace brisk::console_os {

// A terminal understands escape sequences, so there is nothing to switch on;
// anything else (a file, a pipe) must not receive them.
bool enable_virtual_terminal() { return isatty(STDOUT_FILENO) == 1; }

// Without escape sequences there is no other way to move the cursor.
std::optional<std::int32_t> cursor_row() { return std::nullopt; }

void set_cursor_row(std::int32_t) {}

std::optional<std::string> claim_closed_standard_streams() {
  bool stdout_closed = false;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) stdout_closed = true;
    // open() takes the lowest free number, which is 0 when standard input is
    // closed too: dup2 puts /dev/null on exactly this number.
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0) continue;
    if (null_fd != fd) {
      dup2(null_fd, fd);
      close(null_fd);
    }
  }
  if (stdout_closed) return std::string(strerror(EBADF));
  return std::nullopt;
}

}  // namespace brisk::console_os
