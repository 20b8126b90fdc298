#include <windows.h>

#include "platform/console_os.h"

namespace brisk::console_os {

namespace {
constexpr DWORD kVirtualTerminalProcessing = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
}

bool enable_virtual_terminal() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (!GetConsoleMode(out, &mode)) return false;
  return SetConsoleMode(out, mode | kVirtualTerminalProcessing) != 0;
}

std::optional<std::int32_t> cursor_row() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == INVALID_HANDLE_VALUE) return std::nullopt;
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(out, &info)) return std::nullopt;
  return info.dwCursorPosition.Y;
}

void set_cursor_row(std::int32_t row) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == INVALID_HANDLE_VALUE) return;
  COORD position;
  position.X = 0;
  position.Y = static_cast<SHORT>(row);
  SetConsoleCursorPosition(out, position);
}

// The C runtime keeps descriptors 0 to 2 for the standard streams even when
// they have no handle, and a file handle is never a reused small number: a
// file brisk opens cannot receive the console's text.
std::optional<std::string> claim_closed_standard_streams() { return std::nullopt; }

}  // namespace brisk::console_os
