#include <unistd.h>

#include "platform/console_os.h"

namespace brisk::console_os {

// A terminal understands escape sequences, so there is nothing to switch on;
// anything else (a file, a pipe) must not receive them.
bool enable_virtual_terminal() { return isatty(STDOUT_FILENO) == 1; }

// Without escape sequences there is no other way to move the cursor.
std::optional<std::int32_t> cursor_row() { return std::nullopt; }

void set_cursor_row(std::int32_t) {}

}  // namespace brisk::console_os
