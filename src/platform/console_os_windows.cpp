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

}  // namespace brisk::console_os
