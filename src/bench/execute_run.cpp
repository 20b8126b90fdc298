#include "bench/execute_run.h"

#include <fmt/format.h>

#include <chrono>
#include <exception>
#include <iostream>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "app/format.h"
#include "bench/phase_barrier.h"
#include "bench/progress_board.h"
#include "bench/run_conditions.h"
#include "bench/run_messages.h"
#include "bench/run_timeline.h"
#include "bench/run_worker.h"
#include "bench/worker_context.h"
#include "memory/memory_info.h"
#include "platform/clock_probe.h"
#include "platform/cpu_features.h"
#include "platform/cpu_info.h"
#include "platform/system_counters.h"
#include "platform/timers.h"

namespace brisk {
namespace {

void print_warning_box() {
  std::cerr << "===========" << std::endl;
  std::cerr << "  warning  " << std::endl;
  std::cerr << "===========" << std::endl;
}

// The ISA check; false when the run is refused.
bool check_isa(const RunParams& params, std::mutex& console_mutex, RunResult& result) {
  const std::optional<std::string> missing = params.seams.check_isa(params.isa);
  if (!missing) return true;
  std::lock_guard lock(console_mutex);
  print_warning_box();
  report_error(result.messages, *missing);
  if (params.strict_isa_check) {
    report_error(result.messages, "isa support check failed; aborting");
    return false;
  }
  // CPUID may under-report (some virtual machines do), so the warning alone
  // lets the run go on; but code the processor cannot execute would kill the
  // whole process, and with it every result a sweep has collected so far.
  if (!params.seams.probe_isa(params.isa)) {
    report_error(result.messages,
                 fmt::format("the processor cannot execute {} instructions; aborting", params.isa));
    return false;
  }
  return true;
}

void print_banner(const RunParams& params) {
  const std::uint32_t threads = params.threading_manager.thread_count;
  const std::uint64_t n = params.size;
  std::cout << fmt::format("running with {} thread{} ({})", threads, threads > 1 ? "s" : "",
                           params.threading)
            << std::endl;
  std::cout << fmt::format("{} x {} x {} grid", n, n, n) << std::endl;
  const std::uint64_t per_thread = memory_per_thread(n);
  std::cout << format_bytes(per_thread) << " per thread" << std::endl;
  std::cout << format_bytes(std::uint64_t{threads} * per_thread) << " total" << std::endl;
}

// Everything sized by the thread count is obtained before any thread starts,
// so that a count no machine can hold (say 4294967295) is refused here, with
// nothing running yet, instead of failing half-way through the launch. On
// Linux an allocation may succeed and only fail when touched, so the sizes are
// also held against the free physical memory.
std::optional<std::string> reserve_run_storage(std::uint32_t thread_count, std::uint32_t duration,
                                               RunResult& result, std::vector<std::thread>& threads,
                                               ProgressBoard& board) {
  const std::uint64_t marks_per_thread = std::uint64_t{duration} + 2;
  const std::uint64_t bytes_per_thread =
      sizeof(ThreadResult) + sizeof(std::thread) + sizeof(ProgressSlot) + marks_per_thread * 12;
  bool fits = fits_in_free_memory(thread_count, bytes_per_thread);
  if (fits) {
    try {
      result.results.reserve(thread_count);
      result.marks = StepMarks(thread_count, duration);
      threads.reserve(thread_count - 1);
      board = ProgressBoard(thread_count);
    } catch (const std::bad_alloc&) {
      fits = false;
    } catch (const std::length_error&) {
      fits = false;
    }
  }
  if (fits) return std::nullopt;
  result.results = std::vector<ThreadResult>();
  result.marks = StepMarks();
  threads = std::vector<std::thread>();
  board = ProgressBoard();
  return fmt::format("cannot reserve room for the results of {} threads; aborting", thread_count);
}

// The timer checks; false when the run is refused.
bool check_timers(const RunParams& params, const FastTimer& fast, const CoarseTimer& coarse,
                  std::vector<std::string>& messages) {
  const std::string_view source = timer_source_name(fast.source);
  if (!params.seams.timer_compliant(fast)) {
    if (!params.bypass_timer_check) {
      report_error(messages, fmt::format("Fast Timer is not HWBOT compliant (fast timer source: "
                                         "{}); aborting",
                                         source));
      report_error(messages, kBypassTimerCheckHint);
      return false;
    }
    print_warning_box();
    report_error(messages,
                 fmt::format("Fast timer is not compliant with HWBOT rules (fast timer source: {})",
                             source));
    report_error(messages,
                 "Check that this is a detection error in terms of your windows version, "
                 "processor, or timer before submitting");
  }
  const std::int64_t horizon = static_cast<std::int64_t>(params.duration) + 2;
  if (will_overflow(fast, FastTimer::now(), horizon)) {
    report_error(messages, "fast timer will overflow during the run; aborting");
    return false;
  }
  if (will_overflow(coarse, CoarseTimer::now(), horizon)) {
    report_error(messages, "coarse timer will overflow during the run; aborting");
    return false;
  }
  return true;
}

// The run-wide objects every worker refers to. They outlive all workers:
// execute_run joins every thread before they go.
struct RunShared {
  explicit RunShared(std::uint32_t thread_count)
      : phase_barrier(thread_count, [this] { return stop_source.stop_requested(); }) {}
  std::mutex console_mutex;
  std::mutex results_mutex;
  std::stop_source stop_source;
  PhaseBarrier phase_barrier;  // its verdict: was a stop requested by then?
  ProgressBoard progress;
  std::vector<std::thread> threads;
};

void print_timers(const FastTimer& fast, const CoarseTimer& coarse) {
  std::cout << fmt::format("Fast Timer Frequency: {} ({})", format_hz(display_frequency(fast)),
                           timer_source_name(fast.source))
            << std::endl;
  std::cout << "Coarse Timer Frequency: " << format_hz(display_frequency(coarse)) << std::endl;
}

// The processors the plan binds the run's threads to, in the numbering the
// counters use; empty when the operating system places them.
std::vector<std::uint32_t> planned_processors(const ThreadingManager& manager) {
  std::vector<std::uint32_t> processors;
  for (std::size_t i = 0; i < manager.plan.size() && i < manager.thread_count; ++i) {
    processors.push_back(std::uint32_t{manager.plan[i].group} * 64 + manager.plan[i].os_index);
  }
  return processors;
}

// Starts threads 1 .. T-1, runs worker 0 on this thread and joins them all.
void launch_and_join(const RunParams& params, RunResult& result, RunShared& shared,
                     const FastTimer& fast, const CoarseTimer& coarse) {
  const std::uint32_t thread_count = params.threading_manager.thread_count;
  const auto context = [&](std::uint32_t index) {
    return WorkerContext{index,
                         params,
                         result,
                         shared.console_mutex,
                         shared.results_mutex,
                         shared.phase_barrier,
                         shared.stop_source,
                         shared.progress,
                         fast,
                         coarse,
                         index == 0};
  };
  // Once a stop has been requested the run is lost: the threads not started
  // yet (worker 0 included) are never started, and the barrier stops
  // expecting them, so the started ones are released and leave.
  for (std::uint32_t index = 1; index < thread_count && !shared.stop_source.stop_requested();
       ++index) {
    try {
      shared.threads.push_back(params.seams.start_thread(context(index)));
    } catch (const std::exception& error) {
      {
        std::lock_guard lock(shared.console_mutex);
        report_error(
            result.messages,
            fmt::format("could not start benchmark thread {} ({}); aborting", index, error.what()));
      }
      shared.stop_source.request_stop();
    }
  }
  const auto started = static_cast<std::uint32_t>(shared.threads.size());
  if (started + 1 == thread_count) {
    run_worker(context(0));
  } else {
    // Stop first, then drop: whoever is released must see the stop.
    shared.stop_source.request_stop();
    shared.phase_barrier.drop(thread_count - started);
  }
  for (std::thread& thread : shared.threads) thread.join();
}

}  // namespace

RunResult execute_run(const RunParams& params) {
  const std::uint32_t thread_count = params.threading_manager.thread_count;
  RunResult result;
  result.thread_count = thread_count;
  result.workload = params.workload;
  result.isa = params.isa;
  RunShared shared(thread_count);

  std::cout << read_brand_string() << std::endl;
  std::cout << feature_list() << std::endl;
  if (!check_isa(params, shared.console_mutex, result)) return result;
  print_banner(params);
  if (thread_count == 0) {
    report_error(result.messages, "a run needs at least one thread; aborting");
    return result;
  }
  if (const std::optional<std::string> failure = reserve_run_storage(
          thread_count, params.duration, result, shared.threads, shared.progress)) {
    report_error(result.messages, *failure);
    return result;
  }

  const FastTimer fast;
  const CoarseTimer coarse;
  print_timers(fast, coarse);
  if (!check_timers(params, fast, coarse, result.messages)) return result;

  // The counters are read on this thread with no worker running, so the
  // timed loop is the same as without them.
  const std::vector<std::uint32_t> processors = planned_processors(params.threading_manager);
  // The clock probe's one-time calibration, before any timed loop starts.
  prepare_clock_probe();
  const CounterSample before = read_counter_sample(processors);
  const auto started = std::chrono::steady_clock::now();
  result.workers_started = true;
  launch_and_join(params, result, shared, fast, coarse);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started;
  result.conditions =
      conditions_between(before, read_counter_sample(processors), wall.count(), thread_count);
  result.conditions.clock_start_mhz = whole_mhz(loop_edge_clock(result.marks, true));
  result.conditions.clock_end_mhz = whole_mhz(loop_edge_clock(result.marks, false));
  result.aborted = shared.stop_source.stop_requested();
  return result;
}

}  // namespace brisk
