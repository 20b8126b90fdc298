#include "app/console.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/console_os.h"

namespace brisk {

namespace {

class StdoutConsole final : public ConsoleOps {
 public:
  bool enable_virtual_terminal() override { return console_os::enable_virtual_terminal(); }
  std::optional<std::int32_t> cursor_row() override { return console_os::cursor_row(); }
  void set_cursor_row(std::int32_t row) override { console_os::set_cursor_row(row); }
  void write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
  void flush() override { std::fflush(stdout); }
};

}  // namespace

void cursor_up(std::uint32_t lines, ConsoleFlags& flags, ConsoleOps& ops) {
  if (lines == 0) return;
  // The switch is tried once: a console that refused it will refuse again.
  if (!flags.tried_virtual_terminal) {
    flags.tried_virtual_terminal = true;
    flags.virtual_terminal = ops.enable_virtual_terminal();
  }
  if (flags.virtual_terminal) {
    // Cursor Previous Line: start of the line `lines` lines up.
    ops.write(fmt::format("\x1b[{}F", lines));
  } else {
    const auto row = ops.cursor_row();
    if (!row) return;  // not a console: leave the output as it is
    const std::int64_t target = static_cast<std::int64_t>(*row) - lines;
    ops.set_cursor_row(static_cast<std::int32_t>(std::max<std::int64_t>(target, 0)));
  }
  ops.flush();
}

void cursor_up(std::uint32_t lines) {
  static ConsoleFlags flags;
  StdoutConsole console;
  cursor_up(lines, flags, console);
}

}  // namespace brisk
