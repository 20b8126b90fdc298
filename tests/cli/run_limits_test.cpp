// Settings no machine can honour end in a clear refusal, never in a crash or
// an out-of-memory kill; a clamped duration runs as clamped.
#include <gtest/gtest.h>
#include <sched.h>

#include <string>
#include <vector>

#include "cli/process_runner.h"
#include "cli/run_output.h"

namespace brisk::cli {
namespace {

const std::string kInvalidBox = "==================\n  invalid result \n==================\n";

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

bool ends_with_empty_table_and_prompt(const std::string& out) {
  return out.ends_with(" none     |    run 1 |      avg |  max/min\n" + std::string(42, '=') +
                       "\n none     |      --- |      --- |      ---\npress enter to exit\n");
}

TEST(RunLimits, FourBillionThreadsAreRefusedBeforeAnyStarts) {
  const ProcessResult r =
      run_brisk({"-n", "4294967295", "-d", "1", "-s", "64", "--harness-sub-runs", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.out.find("running with 4294967295 threads (os)\n"), std::string::npos);
  EXPECT_EQ(r.out.find("allocating fields"), std::string::npos);
  EXPECT_EQ(r.err, "cannot reserve room for the results of 4294967295 threads; aborting\n" +
                       kInvalidBox + "not all threads produced a result\n");
  EXPECT_TRUE(ends_with_empty_table_and_prompt(r.out)) << r.out;
}

TEST(RunLimits, ThreadsWhoseFieldsCannotExistStopTheLaunch) {
  // Every thread's 8194^3 field allocation fails at once: the first failure
  // stops the launch, so far fewer than 100000 threads ever start.
  const ProcessResult r =
      run_brisk({"-n", "100000", "-d", "1", "-s", "8192", "--harness-sub-runs", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  const std::size_t failures = count(r.err, "field allocation failed in thread ");
  EXPECT_GE(failures, 1u);
  EXPECT_LT(failures, 5000u);
  EXPECT_TRUE(r.err.ends_with(kInvalidBox)) << r.err.substr(r.err.size() - 200);
  EXPECT_TRUE(ends_with_empty_table_and_prompt(r.out));
}

TEST(RunLimits, FourBillionSubRunsAreRefusedBeforeAnyRun) {
  // Fourteen sizes need close to a terabyte of results, more than any test
  // machine has free, so the refusal never depends on the host.
  const ProcessResult r =
      run_brisk({"--harness-var", "size", "--harness-sub-runs", "4294967295", "-d", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out,
            "!!HARNESS!! run values:\n64\n128\n192\n256\n320\n384\n448\n512\n640\n768\n1024\n"
            "2048\n4096\n8192\n"
            "!!HARNESS!! estimated total time = 33405301h 11m 0s\npress enter to exit\n");
  EXPECT_EQ(r.err,
            "cannot keep the results of 60129542130 harness runs (14 points x 4294967295 "
            "sub-runs); nothing is run\n");
}

TEST(RunLimits, FourBillionSubRunsWithoutPointsPrintTheTable) {
  if (brisk_from_environment()) GTEST_SKIP() << "Wine reports every processor, allowed or not";
  // Allowed on one processor, the automatic count is 1, so "threads" has no
  // points; the table then has no run columns, however many sub-runs.
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  int cpu = 0;
  while (!CPU_ISSET(cpu, &allowed)) ++cpu;
  std::vector<std::string> command = {"taskset", "-c", std::to_string(cpu)};
  command.push_back(brisk_command().front());
  for (const char* arg : {"--harness-var", "threads", "--harness-sub-runs", "4294967295"}) {
    command.emplace_back(arg);
  }
  const ProcessResult r = run_process(command, std::chrono::seconds(60));
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "!!HARNESS!! run values:\n!!HARNESS!! estimated total time = 0s\n\n"
            "!!HARNESS!!\n=====threads results=====\n threads  | |      avg |  max/min\n" +
                std::string(33, '=') + "\npress enter to exit\n");
}

TEST(RunLimits, ZeroSubRunsRunNothing) {
  const ProcessResult r = run_brisk({"--harness-sub-runs", "0", "-d", "1", "-s", "64"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "!!HARNESS!! run values:\nnone\n!!HARNESS!! estimated total time = 0s\n\n"
            "!!HARNESS!!\n=====none results=====\n none     | |      avg |  max/min\n" +
                std::string(33, '=') +
                "\n none     | |      --- |      ---\npress enter to exit\n");
}

TEST(RunLimits, DurationZeroRunsForOneSecond) {
  const ProcessResult r = run_brisk({"-d", "0", "-s", "64", "--harness-sub-runs", "1", "-n", "1"});
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(without_load_warnings(r.err), "");
  LineCursor lines(r.out);
  expect_announcements(lines, {"none"}, "0s");  // the estimate uses the setting as given
  expect_run_counter(lines, 1, 1);
  EXPECT_EQ(expect_valid_run(lines, "standing_wave", "sse2", "os"), 1);
}

}  // namespace
}  // namespace brisk::cli
