// The driver end to end: help, validation, parser messages and which request
// wins, checked on the built program's streams and exit status.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/process_runner.h"

namespace brisk::cli {
namespace {

std::string expected_help(const std::string& program) {
  const std::string pad(26, ' ');
  return "USAGE:\n"
         "  " +
         program +
         " [-?|-h|--help] [-n|--numthreads <numthreads>] [-d|--duration <duration>] "
         "[-s|--size <size>] [--workload <workload>] [--isa <isa>] [--strict-isa-check] "
         "[--threading <threading>] [--large-pages] [--bypass-timer-check] [--topo-debug] "
         "[--timer-debug] [--brisk] [--harness-var <var>] [--harness-sub-runs <harness-sub-runs>] "
         "[--harness-opt <harness-option-string>] [--export-json <file>] [--export-csv <file>] "
         "[--export-markdown <file>] [--export-html <file>] [--no-save] [--compare-to <file>] "
         "[--threshold <percent>] [--fail-slower <percent>]\n"
         "\n"
         "OPTIONS, ARGUMENTS:\n"
         "  -?, -h, --help          Display usage information.\n"
         "  -n, --numthreads <numthreads>\n" +
         pad + "Number of threads to use [default: 0]\n" + "  -d, --duration <duration>\n" + pad +
         "Bench duration (s) between 1-1000s [default: 30]\n"
         "  -s, --size <size>       Grid size, one of [64, 128, 192, 256, 320, 384, 448, 512, 640, "
         "768, 1024, 2048, 4096, 8192] [default: 192]\n"
         "  --workload <workload>   Workload to use (results with different workloads aren't "
         "comparable), one of [standing_wave, soft_gaussian] [default: standing_wave]\n"
         "  --isa <isa>             Instruction set to use for workload/solver, one of [sse2, avx, "
         "avx2, fma] [default: sse2]\n"
         "  --strict-isa-check      Don't try to run if the ISA support check fails\n"
         "  --threading <threading> Threading manager to use [default: os]\n"
         "  --large-pages           Use large pages allocator\n"
         "  --bypass-timer-check    Run the bench even if the timer is not HWBOT compliant\n"
         "  --topo-debug            Print detected topology for debug\n"
         "  --timer-debug           Printed detected timers\n"
         "  --brisk                 \n"
         "  --harness-var <var>     Variable for the harness to test over [default: none]\n"
         "  --harness-sub-runs <harness-sub-runs>\n" +
         pad + "How many times to run the benchmark for each parameter sweep point [default: 3]\n" +
         "  --harness-opt <harness-option-string>\n" + pad +
         "String parsed by selected variable to specify scope if supported\n"
         "  --export-json <file>    Write the runs and the machine to this file as JSON, after "
         "every run\n"
         "  --export-csv <file>     Write one CSV row per run to this file, after every run\n"
         "  --export-markdown <file>\n" +
         pad + "Write the results table to this file as Markdown, after every run\n" +
         "  --export-html <file>    Write a report page with charts to this file, after every run\n"
         "  --no-save               Don't keep this invocation's results in the history folder\n"
         "  --compare-to <file>     After the sweep, compare it with this results file or saved "
         "result (last, last~N, best, or an id from brisk history)\n"
         "  --threshold <percent>   Smallest change of a point's average that counts as faster "
         "or slower (default 2)\n"
         "  --fail-slower <percent> Exit with status 3 when a like-for-like point is slower by "
         "more than this, with p < 0.05\n"
         "\n"
         "field size      memory used per thread\n"
         "  64                 17.55 MiB\n"
         "  128               134.09 MiB\n"
         "  192               445.64 MiB\n"
         "  256                 1.02 GiB\n"
         "  320                 1.99 GiB\n"
         "  384                 3.43 GiB\n"
         "  448                 5.43 GiB\n"
         "  512                 8.09 GiB\n"
         "  640                15.77 GiB\n"
         "  768                27.21 GiB\n"
         "  1024               64.38 GiB\n"
         "  2048              513.50 GiB\n"
         "  4096                4.01 TiB\n"
         "  8192               32.02 TiB\n"
         "Each benchmark thread needs the memory listed for its grid size; the automatic thread "
         "count stays within free physical memory when at least one thread fits.\n"
         "\n"
         "COMMANDS:\n"
         "  compare <base> <file>... [--threshold <percent>] [--fail-slower <percent>]\n"
         "          [--export-json|--export-csv|--export-markdown|--export-html <file>]\n"
         "                          Compare results files (from --export-json, or saved results)\n"
         "                          with the first: each point's change of average with its 95%\n"
         "                          interval, p-value (Welch's t-test) and verdict: faster, slower,\n"
         "                          no change or unclear. Exit status 3 when --fail-slower is given\n"
         "                          and a like-for-like point is slower by more than it with p < 0.05.\n"
         "  history [--all] [--limit <n>] [--export-csv <file>] [--export-html <file>]\n"
         "                          List the saved results of this machine, newest first.\n"
         "  stability [-d <seconds>] [-s <size>] [--isa <isa>] [--rounds <n>]\n"
         "          [--export-json <file>] [--export-html <file>]\n"
         "                          One benchmark thread on one logical processor at a time, every\n"
         "                          processor of the topology in turn (both hardware threads of a\n"
         "                          core), standing_wave with its whole grid compared bit for bit;\n"
         "                          goes on after a failure. Defaults: 10 s per processor, 2 rounds,\n"
         "                          grid 192, sse2. A table with the MGups of each processor, slow\n"
         "                          ones (more than 10% below the median) marked, and \"ok\" or the\n"
         "                          wrong values it computed. Exit status 4 when a processor\n"
         "                          computed a wrong value.\n"
         "Every run is saved in the results folder ($BRISK_RESULTS_DIR, else\n"
         "$XDG_DATA_HOME/brisk/results or ~/.local/share/brisk/results; on Windows\n"
         "%LOCALAPPDATA%\\brisk\\results) unless --no-save is given. Where a results file is\n"
         "taken, a saved result can be named instead: last, last~N, best, or an id from brisk history.\n"
         "Results files dropped onto brisk.exe are compared, the first as the base.\n"
         "standing_wave runs are verified bit for bit: after the timed loop every value of the\n"
         "grid is compared with its exact state, and one wrong value makes the run invalid.\n"
         "soft_gaussian has no exact state; its energy checks are all it gets.\n";
}

const std::string kSizeList =
    "64, 128, 192, 256, 320, 384, 448, 512, 640, 768, 1024, 2048, 4096, 8192";

// The command line is refused with exactly this one line on standard error.
void expect_rejected(const std::vector<std::string>& args, const std::string& message) {
  const ProcessResult r = run_brisk(args);
  std::string shown;
  for (const auto& arg : args) shown += " [" + arg + "]";
  ASSERT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_FALSE(r.timed_out) << shown;
  EXPECT_EQ(r.exit_status, 1) << shown;
  EXPECT_EQ(r.out, "") << shown;
  EXPECT_EQ(r.err, message + "\n") << shown;
}

TEST(DriverCliTest, HelpUnderEachNameListsSixteenOptionsAndTheGridTable) {
  const std::string expected = expected_help(brisk_program_name());
  for (const std::string name : {"--help", "-h", "-?"}) {
    const ProcessResult r = run_brisk({name});
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(r.exit_status, 0) << name;
    EXPECT_EQ(r.err, "") << name;
    EXPECT_EQ(r.out, expected) << name;
  }
}

// Every logical processor in turn at grid 64 for one second: each row "ok",
// as many rows as processors announced, exit status 0.
TEST(DriverCliTest, StabilityOnEveryProcessorIsOkAndExitsWithZero) {
  const ProcessResult r = run_brisk({"stability", "-s", "64", "-d", "1", "--rounds", "1"});
  ASSERT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  std::smatch head;
  ASSERT_TRUE(std::regex_search(
      r.out, head,
      std::regex("^brisk stability: standing_wave sse2, grid 64, 1s per logical processor, 1 "
                 "round of (\\d+) logical processors, whole grid compared bit for bit\n")))
      << r.out;
  const std::size_t processors = std::stoul(head[1].str());
  ASSERT_GE(processors, 1u);
  const std::size_t table = r.out.find("\npackage  core  logical processor  ");
  ASSERT_NE(table, std::string::npos) << r.out;
  std::istringstream lines(r.out.substr(table + 1));
  std::string line;
  std::getline(lines, line);
  std::size_t ok_rows = 0;
  const std::regex row("\\s*(\\d+|\\?)\\s+\\d+\\s+\\d+\\s+\\d+\\.\\d\\d\\s+(\\d+|-)\\s+(slow)?\\s+ok");
  while (std::getline(lines, line) && std::regex_match(line, row)) ++ok_rows;
  EXPECT_EQ(ok_rows, processors) << r.out;
}

TEST(DriverCliTest, HelpBeatsBothDiagnosticsAndStopsTheParse) {
  const std::string expected = expected_help(brisk_program_name());
  for (const auto& args :
       {std::vector<std::string>{"--topo-debug", "--timer-debug", "--help"},
        std::vector<std::string>{"-s", "64", "-h", "--size", "100", "--bogus", "--brisk"}}) {
    const ProcessResult r = run_brisk(args);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected);
  }
}

TEST(DriverCliTest, ValidationMessages) {
  expect_rejected({"--size", "100"}, "Invalid size '100', must be one of: " + kSizeList);
  expect_rejected({"--size", "65"}, "Invalid size '65', must be one of: " + kSizeList);
  expect_rejected({"--size", "18446744073709551615"},
                  "Invalid size '18446744073709551615', must be one of: " + kSizeList);
  expect_rejected({"--workload", "Standing_Wave"},
                  "Invalid workload name 'Standing_Wave', must be one of: standing_wave, "
                  "soft_gaussian");
  expect_rejected({"--isa", "avx512"},
                  "Invalid isa name 'avx512', must be one of: sse2, avx, avx2, fma");
  expect_rejected({"--isa", "SSE2", "--workload", "nope", "--size", "1"},
                  "Invalid size '1', must be one of: " + kSizeList);
  expect_rejected({"--isa", "SSE2", "--workload", "nope"},
                  "Invalid workload name 'nope', must be one of: standing_wave, soft_gaussian");
}

TEST(DriverCliTest, ValidationBeatsHelpAndDiagnostics) {
  const std::string size_message = "Invalid size '100', must be one of: " + kSizeList;
  expect_rejected({"--size", "100", "--help"}, size_message);
  expect_rejected({"--topo-debug", "--size", "100"}, size_message);
  expect_rejected({"--timer-debug", "--isa", "avx512"},
                  "Invalid isa name 'avx512', must be one of: sse2, avx, avx2, fma");
}

TEST(DriverCliTest, EverySyntaxFormReachesTheSize) {
  const std::string message = "Invalid size '65', must be one of: " + kSizeList;
  for (const auto& args :
       {std::vector<std::string>{"-s", "65"}, std::vector<std::string>{"-s=65"},
        std::vector<std::string>{"-s65"}, std::vector<std::string>{"--size", "65"},
        std::vector<std::string>{"--size=65"}, std::vector<std::string>{"-s", "065"}}) {
    expect_rejected(args, message);
  }
}

TEST(DriverCliTest, ParserMessages) {
  expect_rejected({"--threading", "NUMA"},
                  "Value 'NUMA' not expected. Allowed values are: os, numa, phte");
  expect_rejected({"--harness-var", "foo"},
                  "Value 'foo' not expected. Allowed values are: none, size, duration, threads, "
                  "isa");
  expect_rejected({"--numthreads", "abc"}, "Unable to convert 'abc' to destination type");
  expect_rejected({"-n", "4294967296"}, "Unable to convert '4294967296' to destination type");
  expect_rejected({"--numthreads", "-1"}, "Unable to convert '-1' to destination type");
  expect_rejected({"--size=18446744073709551616"},
                  "Unable to convert '18446744073709551616' to destination type");
  expect_rejected({"--harness-sub-runs", "+5"}, "Unable to convert '+5' to destination type");
  expect_rejected({"--large-pages=yes"}, "Flag option '--large-pages' contains value 'yes'.");
  expect_rejected({"-d"}, "Expected argument following -d");
  expect_rejected({"--size", "64", "--harness-opt"}, "Expected argument following --harness-opt");
  expect_rejected({"--bogus"}, "Unrecognized token: --bogus");
  expect_rejected({"--hel"}, "Unrecognized token: --hel");
  expect_rejected({"--"}, "Unrecognized token: --");
  expect_rejected({"-"}, "Unrecognized token: -");
  expect_rejected({"run"}, "Unrecognized token: run");
  expect_rejected({"--size", "64", "-s", "128"}, "Unrecognized token: -s");
  // A parse error beats the banner.
  expect_rejected({"--brisk", "--brisk"}, "Unrecognized token: --brisk");
}

TEST(DriverCliTest, TopologyReportBeatsTimerReport) {
  const ProcessResult topo = run_brisk({"--topo-debug"});
  const ProcessResult both = run_brisk({"--timer-debug", "--topo-debug"});
  const ProcessResult timer = run_brisk({"--timer-debug"});
  EXPECT_EQ(topo.exit_status, 0);
  EXPECT_EQ(both.exit_status, 0);
  EXPECT_EQ(timer.exit_status, 0);
  EXPECT_FALSE(topo.out.empty());
  EXPECT_EQ(both.out, topo.out);
  EXPECT_EQ(both.err, topo.err);
  EXPECT_NE(timer.out, topo.out);
}

TEST(DriverCliTest, RunAttemptEndsWithPromptAndReturnsAtEndOfInput) {
  // The sweep point list cannot be built from "100", so no benchmark runs;
  // the driver still prompts and reads from the closed standard input.
  const ProcessResult r = run_brisk({"--harness-var", "size", "--harness-opt", "100"});
  ASSERT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0);
  const std::string prompt = "press enter to exit\n";
  ASSERT_GE(r.out.size(), prompt.size());
  EXPECT_EQ(r.out.substr(r.out.size() - prompt.size()), prompt);
  EXPECT_FALSE(r.err.empty());  // the runner says why nothing ran
}

}  // namespace
}  // namespace brisk::cli
