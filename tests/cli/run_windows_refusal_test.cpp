// The HWBOT timer refusal end to end, under Wine set to report Windows 10: an
// AMD processor without an HPET fast timer then fails the rule, so a run is
// refused, and runs with a warning when the check is bypassed. Only when
// BRISK_EXE names a Wine command; the prefix is a fresh temporary one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/process_runner.h"
#include "cli/run_output.h"

namespace brisk::cli {
namespace {

namespace fs = std::filesystem;

bool is_wine(const std::string& program) {
  return fs::path(program).filename().string().find("wine") != std::string::npos;
}

class RunWindows10 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!brisk_from_environment() || !is_wine(brisk_command().front())) return;
    wine_ = brisk_command().front();
    char pattern[] = "/tmp/brisk-win10-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    prefix_ = pattern;
    // Wine now and then drops a program it starts, so setting up gets three tries.
    for (int attempt = 0; attempt < 3 && !ready_; ++attempt) {
      const ProcessResult setup =
          run_process({"env", "WINEPREFIX=" + prefix_, wine_, "winecfg", "-v", "win10"},
                      std::chrono::minutes(3));
      ready_ = !setup.timed_out && setup.exit_status == 0;
    }
  }

  static void TearDownTestSuite() {
    if (prefix_.empty()) return;
    // Wine leaves a server running for the prefix; end it before removing it.
    const fs::path server = fs::path(wine_).parent_path() / "wineserver";
    run_process({"env", "WINEPREFIX=" + prefix_,
                 fs::exists(server) ? server.string() : std::string("wineserver"), "-k"},
                std::chrono::seconds(30));
    std::error_code ignored;
    fs::remove_all(prefix_, ignored);
    prefix_.clear();
  }

  void SetUp() override {
    if (wine_.empty()) GTEST_SKIP() << "BRISK_EXE does not name a Wine command";
    ASSERT_TRUE(ready_) << "could not set up a Windows 10 prefix in " << prefix_;
    const ProcessResult report = run({"--timer-debug"});
    if (report.out.find("Fast timer is not compliant with HWBOT rules") == std::string::npos) {
      GTEST_SKIP() << "this machine's fast timer is compliant under Windows 10";
    }
  }

  static ProcessResult run(const std::vector<std::string>& args) {
    std::vector<std::string> command = {"env", "WINEPREFIX=" + prefix_};
    const std::vector<std::string> brisk = brisk_command();
    command.insert(command.end(), brisk.begin(), brisk.end());
    command.insert(command.end(), args.begin(), args.end());
    return run_under_wine(command, std::chrono::minutes(2));
  }

  static std::string source() {
    const std::string report = run({"--timer-debug"}).out;
    const std::string first = split_lines(report).front();  // "Fast timer: <source>"
    return first.substr(first.find(": ") + 2);
  }

  static inline std::string wine_;
  static inline std::string prefix_;
  static inline bool ready_ = false;
};

TEST_F(RunWindows10, NonCompliantTimerRefusesTheRun) {
  const ProcessResult r = run({"-d", "1", "-s", "64", "--harness-sub-runs", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "Fast Timer is not HWBOT compliant (fast timer source: " + source() +
                       "); aborting\n"
                       "Use --bypass-timer-check to run regardless if you are sure that this is a "
                       "detection error in terms of your windows version, processor, or timer\n"
                       "==================\n  invalid result \n==================\n"
                       "not all threads produced a result\n");
  // The banner and both timer lines, then straight to the table: no worker ran.
  LineCursor lines(r.out);
  expect_announcements(lines, {"none"}, "1s");
  expect_run_counter(lines, 1, 1);
  lines.match(".*");  // brand string
  lines.match(".+");  // feature list
  lines.match("running with \\d+ threads? \\(os\\)");
  lines.exact("64 x 64 x 64 grid");
  lines.exact("17.55 MiB per thread");
  lines.match(".+ total");
  lines.match("Fast Timer Frequency: .+");
  lines.match("Coarse Timer Frequency: .+");
  lines.exact("");
  lines.exact("!!HARNESS!!");
  lines.exact("=====none results=====");
  lines.exact(" none     |    run 1 |      avg |  max/min");
  lines.exact(std::string(42, '='));
  lines.exact(" none     |      --- |      --- |      ---");
  lines.exact("press enter to exit");
  EXPECT_TRUE(lines.at_end());
}

TEST_F(RunWindows10, BypassRunsWithTheWarningBox) {
  const ProcessResult r =
      run({"-d", "1", "-s", "64", "--harness-sub-runs", "1", "--bypass-timer-check"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err,
            "===========\n  warning  \n===========\n"
            "Fast timer is not compliant with HWBOT rules (fast timer source: " +
                source() +
                ")\n"
                "Check that this is a detection error in terms of your windows version, "
                "processor, or timer before submitting\n");
  LineCursor lines(r.out);
  expect_announcements(lines, {"none"}, "1s");
  expect_run_counter(lines, 1, 1);
  expect_valid_run(lines, "standing_wave", "sse2", "os");
}

}  // namespace
}  // namespace brisk::cli
