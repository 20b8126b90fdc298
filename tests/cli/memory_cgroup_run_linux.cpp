// brisk inside a memory cgroup, as in a container: the room the cgroup leaves
// decides, not the host's free memory. Without that the kernel kills brisk
// (status 137) while it zero-fills fields the host could hold but the cgroup
// cannot. Needs root and a writable memory controller; skips itself otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/process_runner.h"
#include "cli/run_output.h"

namespace brisk::cli {
namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

bool write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  file.flush();
  return static_cast<bool>(file);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string text;
  std::getline(file, text, '\0');
  return text;
}

// A cgroup of its own with a memory limit and no swap beyond it, removed when
// the test ends, whatever its outcome.
class LimitedCgroup {
 public:
  explicit LimitedCgroup(std::uint64_t limit) {
    const std::string name = "brisk-test-" + std::to_string(getpid());
    if (geteuid() != 0) {
      why_not_ = "creating a cgroup needs root";
    } else if (!try_v1("/sys/fs/cgroup/memory", name, limit) &&
               !try_v2("/sys/fs/cgroup", name, limit) &&
               !try_v2("/sys/fs/cgroup/unified", name, limit)) {
      why_not_ = "no writable memory controller (v1 /sys/fs/cgroup/memory or v2 with memory)";
    }
  }
  LimitedCgroup(const LimitedCgroup&) = delete;
  LimitedCgroup& operator=(const LimitedCgroup&) = delete;
  ~LimitedCgroup() { remove(); }

  // Empty when the cgroup exists; otherwise why it could not be made.
  const std::string& why_not() const { return why_not_; }

  // Runs brisk with `args` as a member of the cgroup: the shell joins it and
  // then becomes brisk, so brisk's every page is charged to it.
  ProcessResult run(const std::vector<std::string>& args) const {
    std::vector<std::string> command = {
        "sh", "-c", "echo $$ > '" + procs_.string() + "' && exec \"$0\" \"$@\""};
    command.push_back(brisk_command().front());
    command.insert(command.end(), args.begin(), args.end());
    return run_process(command, std::chrono::seconds(120));
  }

 private:
  bool try_v1(const std::filesystem::path& controller, const std::string& name,
              std::uint64_t limit) {
    if (!std::filesystem::exists(controller / "memory.limit_in_bytes")) return false;
    if (!make(controller / name)) return false;
    const std::string bytes = std::to_string(limit);
    if (!write_file(dir_ / "memory.limit_in_bytes", bytes)) return give_up();
    // Memory plus swap gets the same limit where swap is accounted.
    if (std::filesystem::exists(dir_ / "memory.memsw.limit_in_bytes")) {
      write_file(dir_ / "memory.memsw.limit_in_bytes", bytes);
    }
    procs_ = dir_ / "cgroup.procs";
    return true;
  }

  bool try_v2(const std::filesystem::path& mount, const std::string& name, std::uint64_t limit) {
    if (read_file(mount / "cgroup.subtree_control").find("memory") == std::string::npos) {
      return false;
    }
    if (!make(mount / name)) return false;
    if (!write_file(dir_ / "memory.max", std::to_string(limit))) return give_up();
    if (std::filesystem::exists(dir_ / "memory.swap.max"))
      write_file(dir_ / "memory.swap.max", "0");
    procs_ = dir_ / "cgroup.procs";
    return true;
  }

  bool make(const std::filesystem::path& dir) {
    std::error_code error;
    if (!std::filesystem::create_directory(dir, error)) return false;
    dir_ = dir;
    return true;
  }

  bool give_up() {
    remove();
    return false;
  }

  // rmdir only: a cgroup directory cannot be emptied file by file. Its last
  // member may take a moment to leave after it ended.
  void remove() {
    if (dir_.empty()) return;
    for (int attempt = 0; attempt < 50 && rmdir(dir_.c_str()) != 0; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    dir_.clear();
  }

  std::filesystem::path dir_;
  std::filesystem::path procs_;
  std::string why_not_;
};

class MemoryCgroup : public ::testing::Test {
 protected:
  void SetUp() override {
    if (brisk_from_environment()) GTEST_SKIP() << "Windows has no cgroups; brisk.exe is not run";
  }
};

// memory_per_thread(256) is 1.02 GiB: more than a 1 GiB group holds.
TEST_F(MemoryCgroup, FieldsBeyondTheLimitFailCleanly) {
  const LimitedCgroup cgroup(kGiB);
  if (!cgroup.why_not().empty()) GTEST_SKIP() << cgroup.why_not();
  const ProcessResult r =
      cgroup.run({"-s", "256", "-n", "1", "-d", "1", "--harness-sub-runs", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << "137 is the kernel's out-of-memory kill";
  EXPECT_NE(r.err.find("\nfield allocation failed\n"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.ends_with("\npress enter to exit\n")) << r.out;
}

// In 2 GiB one thread's fields fit and two would not: the automatic count
// (not the two cores of the host, nor its free memory) gives one thread.
TEST_F(MemoryCgroup, AutomaticCountFitsTheLimit) {
  const LimitedCgroup cgroup(2 * kGiB);
  if (!cgroup.why_not().empty()) GTEST_SKIP() << cgroup.why_not();
  const ProcessResult r = cgroup.run({"-s", "256", "-d", "1", "--harness-sub-runs", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << "137 is the kernel's out-of-memory kill";
  EXPECT_EQ(without_load_warnings(r.err), "");
  EXPECT_NE(r.out.find("\nrunning with 1 thread (os)\n256 x 256 x 256 grid\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n  valid result \n"), std::string::npos);
  EXPECT_NE(r.out.find("\nfinal score: "), std::string::npos);
  EXPECT_TRUE(r.out.ends_with("\npress enter to exit\n"));
}

}  // namespace
}  // namespace brisk::cli
