#include "cli/terminal_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "cli/process_runner.h"

namespace brisk::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How long the program must keep waiting at its prompt before Enter is typed.
constexpr std::chrono::milliseconds kPromptWait{300};

// Reads what is available. A terminal whose last writer has gone reads as an
// error (EIO) rather than as end of file; both end the reading.
void drain(int fd, std::string& sink) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      sink.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

// In the child, on its new terminal: output goes through as written, so the
// test sees the program's own bytes, and the typed Enter is not echoed.
void plain_terminal() {
  termios mode;
  if (tcgetattr(STDIN_FILENO, &mode) != 0) return;
  mode.c_oflag &= ~static_cast<tcflag_t>(ONLCR);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  tcsetattr(STDIN_FILENO, TCSANOW, &mode);
}

}  // namespace

TerminalResult run_on_terminal(const std::vector<std::string>& command, const std::string& prompt,
                               std::chrono::milliseconds timeout) {
  TerminalResult result;
  if (command.empty()) {
    result.failure = "empty command";
    return result;
  }
  std::vector<char*> argv = exec_argv(command);

  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid < 0) {
    result.failure = "forkpty failed";
    return result;
  }
  if (pid == 0) {
    plain_terminal();
    execvp(argv[0], argv.data());
    _exit(127);
  }
  fcntl(terminal, F_SETFL, O_NONBLOCK);

  const auto deadline = Clock::now() + timeout;
  Clock::time_point prompt_seen{};
  bool seen = false, answered = false;
  int status = 0;
  for (;;) {
    pollfd fd{terminal, POLLIN, 0};
    poll(&fd, 1, 20);
    drain(terminal, result.out);
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    const auto now = Clock::now();
    if (!seen && !prompt.empty() && result.out.find(prompt) != std::string::npos) {
      seen = true;
      prompt_seen = now;
    }
    if (seen && !answered && now - prompt_seen >= kPromptWait) {
      result.waited_at_prompt = true;
      answered = write(terminal, "\n", 1) == 1;
    }
    if (now >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      break;
    }
  }
  drain(terminal, result.out);
  close(terminal);

  if (!result.timed_out && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
    if (result.exit_status == 127) result.failure = "could not execute " + command[0];
  }
  return result;
}

TerminalResult run_brisk_on_terminal(const std::vector<std::string>& args,
                                     const std::string& prompt, std::chrono::milliseconds timeout) {
  std::vector<std::string> command = brisk_command();
  command.insert(command.end(), args.begin(), args.end());
  return run_on_terminal(command, prompt, timeout);
}

bool brisk_under_wine() {
  for (const std::string& word : brisk_command()) {
    if (word.find("wine") != std::string::npos) return true;
  }
  return false;
}

}  // namespace brisk::cli
