// Running a program as a child process for end-to-end tests: standard input
// at end of file (/dev/null, or no descriptor 0 at all), both output streams
// captured apart, and a deadline after which the child is killed, so no test
// can hang.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace brisk::cli {

struct ProcessResult {
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
  int exit_status = -1;  // the exit code; -1 when killed or not started
  bool timed_out = false;
  std::string failure;     // why the child could not be started; empty otherwise
  std::string wine_lines;  // what Wine itself wrote to standard error, kept apart
};

// What the child gets as standard input.
enum class Input {
  null_device,  // /dev/null: reads end at once
  closed,       // descriptor 0 not open at all, as when started with <&-
};

// Runs command[0] (looked up in PATH) with the remaining elements as
// arguments and WINEDEBUG=-all added to the environment.
ProcessResult run_process(const std::vector<std::string>& command,
                          std::chrono::milliseconds timeout, Input input = Input::null_device);

// `command` as the null-terminated argument vector exec wants; it points
// into `command`, which must outlive it.
std::vector<char*> exec_argv(const std::vector<std::string>& command);

// The command under test: BRISK_EXE split on blanks when set, else the built brisk.
std::vector<std::string> brisk_command();
// Whether BRISK_EXE names the command (brisk.exe under Wine).
bool brisk_from_environment();
// The program name brisk shows in its usage text ("brisk" or "brisk.exe").
std::string brisk_program_name();

// Runs `command` (a Wine command line for brisk.exe) and keeps what brisk.exe
// wrote, as brisk writes it: Wine's own standard-error lines go to
// `wine_lines` and CR LF line ends (the Windows runtime's text mode) become
// LF. When the run failed with nothing written by brisk.exe, Wine failed to
// start it (brisk never fails silently), so it is started again, at most
// twice; `failure` says so when every attempt failed.
ProcessResult run_under_wine(const std::vector<std::string>& command,
                             std::chrono::milliseconds timeout, Input input = Input::null_device);

// Runs brisk with `args`; under BRISK_EXE through run_under_wine.
ProcessResult run_brisk(const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout = std::chrono::seconds(120),
                        Input input = Input::null_device);

}  // namespace brisk::cli
