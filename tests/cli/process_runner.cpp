#include "cli/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

extern char** environ;

namespace brisk::cli {

namespace {

using Clock = std::chrono::steady_clock;

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Reads what is available; closes the descriptor at end of file.
void drain(int& fd, std::string& sink) {
  char buffer[4096];
  while (fd >= 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      sink.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      close_fd(fd);
    } else if (errno != EINTR) {
      if (errno != EAGAIN) close_fd(fd);
      return;
    }
  }
}

// Every benchmark run saves its results in the user's history. brisk started
// by these tests, through a pipe or on a terminal, inherits this process's
// environment: pointing it at a folder of the test run's own keeps the user's
// history and cache untouched, unless the caller named a folder already.
class OwnHistoryFolders {
 public:
  OwnHistoryFolders() {
    if (std::getenv("BRISK_RESULTS_DIR") != nullptr) return;
    folder_ =
        std::filesystem::temp_directory_path() / ("brisk-cli-tests-" + std::to_string(getpid()));
    const std::string base = folder_.string();
    setenv("BRISK_RESULTS_DIR", (base + "/results").c_str(), 1);
    setenv("BRISK_CACHE_DIR", (base + "/cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
  }
  ~OwnHistoryFolders() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::filesystem::path folder_;
};

const OwnHistoryFolders own_history_folders;

std::vector<std::string> child_environment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "WINEDEBUG=", 10) != 0) env.emplace_back(*e);
  }
  env.emplace_back("WINEDEBUG=-all");
  return env;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Standard error without the lines Wine itself adds; those go to `wine`.
std::string without_wine_lines(const std::string& err, std::string& wine) {
  std::string kept;
  std::size_t start = 0;
  while (start < err.size()) {
    std::size_t end = err.find('\n', start);
    end = end == std::string::npos ? err.size() : end + 1;
    const std::string line = err.substr(start, end - start);
    const bool from_wine = line.rfind("wine:", 0) == 0 ||
                           line.rfind("wine client error:", 0) == 0 ||
                           line.find("Inconsistency detected by ld.so") != std::string::npos;
    (from_wine ? wine : kept) += line;
    start = end;
  }
  return kept;
}

void clean_wine_output(ProcessResult& result) {
  result.out = replace_all(result.out, "\r\n", "\n");
  result.err = replace_all(without_wine_lines(result.err, result.wine_lines), "\r\n", "\n");
}

// A failure status with nothing written by the program.
bool wine_failed_to_start(const ProcessResult& cleaned) {
  return cleaned.failure.empty() && !cleaned.timed_out && cleaned.exit_status != 0 &&
         cleaned.out.empty() && cleaned.err.empty();
}

}  // namespace

std::vector<char*> exec_argv(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return argv;
}

ProcessResult run_process(const std::vector<std::string>& command,
                          std::chrono::milliseconds timeout, Input input) {
  ProcessResult result;
  if (command.empty()) {
    result.failure = "empty command";
    return result;
  }
  std::vector<char*> argv = exec_argv(command);
  std::vector<std::string> env_storage = child_environment();
  std::vector<char*> envp;
  for (auto& entry : env_storage) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    result.failure = "pipe failed";
    return result;
  }
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    result.failure = "pipe failed";
    return result;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    result.failure = "fork failed";
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    return result;
  }
  if (pid == 0) {
    // Child: only async-signal-safe calls from here on.
    if (dup2(out_pipe[1], STDOUT_FILENO) < 0 || dup2(err_pipe[1], STDERR_FILENO) < 0) _exit(126);
    if (input == Input::closed) {
      close(STDIN_FILENO);
    } else {
      const int null_in = open("/dev/null", O_RDONLY);
      if (null_in < 0 || dup2(null_in, STDIN_FILENO) < 0) _exit(126);
    }
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  int out_fd = out_pipe[0];
  int err_fd = err_pipe[0];
  fcntl(out_fd, F_SETFL, O_NONBLOCK);
  fcntl(err_fd, F_SETFL, O_NONBLOCK);

  const auto deadline = Clock::now() + timeout;
  int status = 0;
  bool exited = false;
  while (!exited) {
    pollfd fds[2];
    nfds_t count = 0;
    if (out_fd >= 0) fds[count++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[count++] = {err_fd, POLLIN, 0};
    if (count > 0) poll(fds, count, 20);
    drain(out_fd, result.out);
    drain(err_fd, result.err);
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      exited = true;
    } else if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timed_out = true;
      exited = true;
    } else if (count == 0) {
      usleep(20000);
    }
  }
  // What the child wrote before it ended is in the pipes now; a descendant
  // that inherited them (wineserver) must not keep us waiting for the end.
  drain(out_fd, result.out);
  drain(err_fd, result.err);
  close_fd(out_fd);
  close_fd(err_fd);

  if (!result.timed_out && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
    if (result.exit_status == 127) result.failure = "could not execute " + command[0];
  }
  return result;
}

bool brisk_from_environment() {
  const char* value = std::getenv("BRISK_EXE");
  return value != nullptr && *value != '\0';
}

std::vector<std::string> brisk_command() {
  if (!brisk_from_environment()) return {BRISK_EXE_PATH};
  std::vector<std::string> command;
  std::istringstream words(std::getenv("BRISK_EXE"));
  for (std::string word; words >> word;) command.push_back(word);
  return command;
}

std::string brisk_program_name() {
  const std::string path = brisk_command().back();
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ProcessResult run_under_wine(const std::vector<std::string>& command,
                             std::chrono::milliseconds timeout, Input input) {
  ProcessResult result;
  for (int attempt = 0; attempt < 3; ++attempt) {
    result = run_process(command, timeout, input);
    clean_wine_output(result);
    if (!wine_failed_to_start(result)) return result;
    std::cerr << "[ wine     ] the program did not start (exit status " << result.exit_status
              << "); " << (attempt < 2 ? "starting it again" : "giving up") << "\n"
              << result.wine_lines;
  }
  result.failure = "Wine did not start the program (exit status " +
                   std::to_string(result.exit_status) + "): " + result.wine_lines;
  return result;
}

ProcessResult run_brisk(const std::vector<std::string>& args, std::chrono::milliseconds timeout,
                        Input input) {
  std::vector<std::string> command = brisk_command();
  command.insert(command.end(), args.begin(), args.end());
  if (brisk_from_environment()) return run_under_wine(command, timeout, input);
  return run_process(command, timeout, input);
}

}  // namespace brisk::cli
