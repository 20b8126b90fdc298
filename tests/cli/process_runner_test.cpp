// The end-to-end runner itself: a Wine start-up failure is retried and named,
// while a program that fails on its own is reported as it failed, once.
#include "cli/process_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace brisk::cli {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> shell(const std::string& script) { return {"sh", "-c", script}; }

constexpr auto kTimeout = std::chrono::seconds(30);

TEST(ProcessRunner, WineStartFailureIsRetriedThenNamed) {
  const ProcessResult r = run_under_wine(
      shell("echo 'wine client error:0: recvmsg: Connection reset by peer' >&2; exit 1"), kTimeout);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.failure.find("Wine did not start the program"), std::string::npos) << r.failure;
  EXPECT_NE(r.failure.find("Connection reset by peer"), std::string::npos) << r.failure;
}

TEST(ProcessRunner, SecondStartAfterAWineFailureCounts) {
  char pattern[] = "/tmp/brisk-runner-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string marker = std::string(pattern) + "/started";
  // The first start fails the way Wine does, the second runs the program.
  const ProcessResult r =
      run_under_wine(shell("if [ -e " + marker + " ]; then printf 'ok\\r\\n'; exit 0; fi; touch " +
                           marker + "; echo 'wine: could not connect' >&2; exit 1"),
                     kTimeout);
  fs::remove_all(pattern);
  EXPECT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "ok\n");
}

TEST(ProcessRunner, ProgramFailureIsNotRetried) {
  char pattern[] = "/tmp/brisk-runner-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string count = std::string(pattern) + "/count";
  const ProcessResult r = run_under_wine(
      shell("echo x >> " + count + "; echo 'Unrecognized token: x' >&2; exit 1"), kTimeout);
  const std::uintmax_t starts = fs::file_size(count) / 2;  // "x\n" per start
  fs::remove_all(pattern);
  EXPECT_EQ(starts, 1U);
  EXPECT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, "Unrecognized token: x\n");
}

}  // namespace
}  // namespace brisk::cli
