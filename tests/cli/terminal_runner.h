// Running a program on a pseudo-terminal for end-to-end tests: what a user
// at a terminal sees, byte for byte, and a key press answered to its prompt.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace brisk::cli {

struct TerminalResult {
  std::string out;       // every byte written to the terminal (both streams)
  int exit_status = -1;  // the exit code; -1 when killed or not started
  bool timed_out = false;
  std::string failure;  // why the child could not be started; empty otherwise
  // The prompt appeared and the program was still running a moment later,
  // before it was given its Enter: it waits for the key.
  bool waited_at_prompt = false;
};

// Runs command[0] (looked up in PATH) with its standard input, output and
// error on one pseudo-terminal. The terminal passes output through unchanged
// (no LF to CR LF) and does not echo input. When `prompt` (if not empty)
// appears in the output, a newline is typed. Killed after `timeout`.
TerminalResult run_on_terminal(const std::vector<std::string>& command, const std::string& prompt,
                               std::chrono::milliseconds timeout);

// Runs brisk with `args` on a pseudo-terminal (run_on_terminal).
TerminalResult run_brisk_on_terminal(const std::vector<std::string>& args,
                                     const std::string& prompt, std::chrono::milliseconds timeout);

// Whether the command under test is brisk.exe under Wine, whose console on a
// terminal is Wine's own: the terminal tests are about the Linux program.
bool brisk_under_wine();

}  // namespace brisk::cli
