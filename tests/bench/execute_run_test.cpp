#include "bench/execute_run.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <system_error>
#include <vector>

#include "memory/memory_sizing.h"
#include "bench/run_benchmark.h"
#include "bench/run_fixture.h"
#include "bench/thread_count.h"
#include "bench/worker_context.h"
#include "brisk_version.h"
#include "platform/timers.h"

namespace brisk {
namespace {

using test::contains;
using test::FailAt;

const char* const kWarningBox = "===========\n  warning  \n===========\n";

// Threads from `first` on cannot be started.
void refuse_threads_from(RunSeams& seams, std::uint32_t first) {
  const ThreadStarter start = seams.start_thread;
  seams.start_thread = [start, first](const WorkerContext& context) {
    if (context.thread_index >= first) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return start(context);
  };
}

TEST(ExecuteRun, ThreadTheSystemRefusesStopsTheStartedOnesAndIsInvalid) {
  for (const std::uint32_t first : {1u, 2u, 3u}) {
    const test::RunRecord run =
        test::perform_run(4, {}, [first](RunSeams& seams) { refuse_threads_from(seams, first); });
    EXPECT_FALSE(run.outcome.valid);
    EXPECT_TRUE(run.result.aborted);
    EXPECT_TRUE(run.result.results.empty());
    // Threads 1 .. first-1 ran and let go of their workloads; worker 0 and the
    // rest never started.
    EXPECT_EQ(run.made, static_cast<int>(first) - 1);
    EXPECT_EQ(run.destroyed, run.made);
    EXPECT_TRUE(
        contains(run.err, "could not start benchmark thread " + std::to_string(first) + " ("))
        << run.err;
    EXPECT_FALSE(contains(run.out, "allocating fields"));
    EXPECT_TRUE(run.err.ends_with(test::kInvalidBox));
  }
}

TEST(ExecuteRun, ThreadCountNoMachineHoldsIsRefusedBeforeAnyThreadStarts) {
  const std::uint32_t huge = std::numeric_limits<std::uint32_t>::max();
  const test::RunRecord run = test::perform_run(huge, {});
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_FALSE(run.result.aborted);
  EXPECT_EQ(run.made, 0);
  EXPECT_TRUE(contains(run.out, "running with 4294967295 threads (os)\n"));
  EXPECT_FALSE(contains(run.out, "Fast Timer Frequency"));
  EXPECT_EQ(run.err, "cannot reserve room for the results of 4294967295 threads; aborting\n" +
                         std::string(test::kInvalidBox) + "not all threads produced a result\n");
}

TEST(ExecuteRun, ZeroThreadsIsRefused) {
  const test::RunRecord run = test::perform_run(0, {});
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_EQ(run.made, 0);
  EXPECT_TRUE(contains(run.err, "a run needs at least one thread; aborting\n"));
}

// Through run_benchmark, with the ISA and timer checks replaced.
struct BenchmarkRecord {
  RunOutcome outcome;
  std::string out;
  std::string err;
  int made = 0;
};

template <typename Adjust>
BenchmarkRecord benchmark(BenchConfig config, Adjust adjust) {
  test::WorkloadCounters counters;
  RunSeams seams = test::test_seams({}, counters);
  adjust(seams);
  test::ConsoleCapture console;
  TopologyHolder topology{Topology{}};
  const RunOutcome outcome =
      test::run_bounded([&] { return run_benchmark(config, topology, seams); });
  return {outcome, console.out(), console.err(), counters.made};
}

BenchConfig two_threads() {
  BenchConfig config;
  config.numthreads = 2;
  config.duration = 0;  // clamped to one second
  config.size = 64;
  return config;
}

TEST(RunBenchmark, StrictIsaCheckRefusesAMissingFeature) {
  BenchConfig config = two_threads();
  config.isa = "avx";
  config.strict_isa_check = true;
  const BenchmarkRecord run = benchmark(config, [](RunSeams& seams) {
    seams.check_isa = [](std::string_view) {
      return std::optional<std::string>("avx support not detected\n");
    };
  });
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_EQ(run.made, 0);
  EXPECT_FALSE(contains(run.out, "running with"));
  EXPECT_EQ(run.err, std::string(kWarningBox) + "avx support not detected\n" +
                         "isa support check failed; aborting\n" + test::kInvalidBox +
                         "not all threads produced a result\n");
}

// The check under-reports (as in some virtual machines) and the real probe
// finds that the processor executes the ISA (sse2 here): the run goes on.
TEST(RunBenchmark, IsaWarningWithoutStrictCheckGoesOn) {
  const BenchmarkRecord run = benchmark(two_threads(), [](RunSeams& seams) {
    seams.check_isa = [](std::string_view) {
      return std::optional<std::string>("avx support not detected\n");
    };
  });
  EXPECT_TRUE(run.outcome.valid) << run.err;
  EXPECT_EQ(run.err, std::string(kWarningBox) + "avx support not detected\n");
  EXPECT_TRUE(contains(run.out, "running with 2 threads (os)\n"));
  // What the results files get: the warning, both threads, the time the
  // initialisation took and the settings the run really used.
  EXPECT_EQ(run.outcome.messages, std::vector<std::string>{"avx support not detected"});
  EXPECT_EQ(run.outcome.threads.size(), 2u);
  EXPECT_TRUE(run.outcome.init_ms.has_value());
  EXPECT_TRUE(contains(
      run.out, fmt::format("initialization took {}ms\n", run.outcome.init_ms.value_or(-1))));
  EXPECT_EQ(run.outcome.settings.threads, 2u);
  EXPECT_EQ(run.outcome.settings.duration, 1u);
}

TEST(RunBenchmark, IsaTheProcessorCannotExecuteIsRefusedAfterTheWarning) {
  BenchConfig config = two_threads();
  config.isa = "avx";
  std::vector<std::string> probed;
  const BenchmarkRecord run = benchmark(config, [&probed](RunSeams& seams) {
    seams.check_isa = [](std::string_view) {
      return std::optional<std::string>("avx support not detected\n");
    };
    seams.probe_isa = [&probed](std::string_view isa) {
      probed.emplace_back(isa);
      return false;
    };
  });
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_EQ(run.made, 0);
  EXPECT_EQ(probed, std::vector<std::string>{"avx"});
  EXPECT_FALSE(contains(run.out, "running with"));
  EXPECT_EQ(run.err, std::string(kWarningBox) + "avx support not detected\n" +
                         "the processor cannot execute avx instructions; aborting\n" +
                         test::kInvalidBox + "not all threads produced a result\n");
  const std::vector<std::string> reasons = {
      "avx support not detected", "the processor cannot execute avx instructions; aborting",
      "not all threads produced a result"};
  EXPECT_EQ(run.outcome.messages, reasons);
  EXPECT_FALSE(run.outcome.init_ms.has_value());
}

// Executing code is a last resort: a processor whose check passes is never
// probed.
TEST(RunBenchmark, ProcessorIsProbedOnlyWhenTheCheckReportsAMissingFeature) {
  int probes = 0;
  const BenchmarkRecord run = benchmark(two_threads(), [&probes](RunSeams& seams) {
    seams.probe_isa = [&probes](std::string_view) {
      ++probes;
      return false;
    };
  });
  EXPECT_TRUE(run.outcome.valid) << run.err;
  EXPECT_EQ(probes, 0);
  EXPECT_EQ(run.err, "");
}

TEST(RunBenchmark, NonCompliantTimerIsRefusedWithoutBypass) {
  const BenchmarkRecord run = benchmark(two_threads(), [](RunSeams& seams) {
    seams.timer_compliant = [](const FastTimer&) { return false; };
  });
  const std::string source(timer_source_name(FastTimer().source));
  EXPECT_FALSE(run.outcome.valid);
  EXPECT_EQ(run.made, 0);
  EXPECT_TRUE(contains(run.out, "Coarse Timer Frequency: "));
  EXPECT_FALSE(contains(run.out, "allocating fields"));
  EXPECT_EQ(run.err,
            "Fast Timer is not HWBOT compliant (fast timer source: " + source + "); aborting\n" +
                "Use --bypass-timer-check to run regardless if you are sure that this is a "
                "detection error in terms of your windows version, processor, or timer\n" +
                test::kInvalidBox + "not all threads produced a result\n");
}

TEST(RunBenchmark, NonCompliantTimerWithBypassWarnsAndRuns) {
  BenchConfig config = two_threads();
  config.bypass_timer_check = true;
  const BenchmarkRecord run = benchmark(config, [](RunSeams& seams) {
    seams.timer_compliant = [](const FastTimer&) { return false; };
  });
  const std::string source(timer_source_name(FastTimer().source));
  EXPECT_TRUE(run.outcome.valid) << run.err;
  EXPECT_EQ(run.made, 2);
  EXPECT_EQ(run.err, std::string(kWarningBox) +
                         "Fast timer is not compliant with HWBOT rules (fast timer source: " +
                         source + ")\n" +
                         "Check that this is a detection error in terms of your windows "
                         "version, processor, or timer before submitting\n");
}

TEST(RunBenchmark, RealStandingWaveRunAtGrid64IsValid) {
  BenchConfig config = two_threads();
  test::ConsoleCapture console;
  TopologyHolder topology{Topology{}};
  const RunOutcome outcome = test::run_bounded([&] { return run_benchmark(config, topology); });
  EXPECT_TRUE(outcome.valid) << console.err();
  EXPECT_GT(outcome.score, 0.0);
  EXPECT_TRUE(contains(console.out(), "brisk v" + std::string(kVersion) + " standing_wave sse2\n"));
}

TEST(ThreadCount, AutomaticCountIsCoresLimitedByMemory) {
  const std::uint64_t per_thread = 1000;
  const std::uint64_t margin = kFieldMemoryMargin;  // kept free, as the guard does
  EXPECT_EQ(automatic_thread_count(16, margin + 5 * per_thread + 999, per_thread), 5u);
  EXPECT_EQ(automatic_thread_count(16, margin + 40 * per_thread, per_thread), 16u);
  EXPECT_EQ(automatic_thread_count(16, margin + per_thread - 1, per_thread), 16u);  // none fits
  EXPECT_EQ(automatic_thread_count(16, 40 * per_thread, per_thread), 16u);  // all in the margin
  EXPECT_EQ(automatic_thread_count(16, 0, per_thread), 16u);                // query failed
  EXPECT_EQ(automatic_thread_count(0, margin + 40 * per_thread, per_thread), 1u);
  // More than 32 bits of threads would fit: saturates instead of wrapping.
  EXPECT_EQ(automatic_thread_count(8, margin + (std::uint64_t{1} << 32) + 4, 1), 8u);
}

TEST(ThreadCount, DurationIsClampedToOneThroughThousand) {
  EXPECT_EQ(clamp_duration(0), 1u);
  EXPECT_EQ(clamp_duration(1), 1u);
  EXPECT_EQ(clamp_duration(30), 30u);
  EXPECT_EQ(clamp_duration(1000), 1000u);
  EXPECT_EQ(clamp_duration(5000), 1000u);
}

}  // namespace
}  // namespace brisk
