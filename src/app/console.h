// Moving the console cursor of standard output, with escape sequences where
// the console understands them and the console API otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace brisk {

// What cursor_up needs from the console; the program uses the OS console and
// the standard I/O library's stdout, tests use a recording double.
class ConsoleOps {
 public:
  virtual ~ConsoleOps() = default;
  // Switches standard output to escape-sequence processing; true on success.
  virtual bool enable_virtual_terminal() = 0;
  // The cursor row; none when standard output is not a readable console.
  virtual std::optional<std::int32_t> cursor_row() = 0;
  // Puts the cursor at column 0 of `row`.
  virtual void set_cursor_row(std::int32_t row) = 0;
  // Writes to standard output (unflushed).
  virtual void write(std::string_view text) = 0;
  virtual void flush() = 0;
};

// The two facts cursor_up keeps for the life of the process.
struct ConsoleFlags {
  bool tried_virtual_terminal = false;  // the one attempt to enable escape sequences was made
  bool virtual_terminal = false;        // and it succeeded
};

// Moves the cursor to the first column of the line `lines` lines up (row 0 at
// most). Nothing happens for 0 lines or when the output is not a console.
void cursor_up(std::uint32_t lines, ConsoleFlags& flags, ConsoleOps& ops);

// The same on the process's standard output, with process-wide flags.
void cursor_up(std::uint32_t lines);

}  // namespace brisk
