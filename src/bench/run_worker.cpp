#include "bench/run_worker.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/progress_line.h"
#include "bench/run_messages.h"
#include "bench/state_failure.h"
#include "solver/field_config.h"
#include "solver/workload.h"

namespace brisk {
namespace {

constexpr double kLatticeSpacing = 0.01;

void print_line(WorkerContext& ctx, std::ostream& stream, const std::string& line) {
  std::lock_guard lock(ctx.console_mutex);
  stream << line << std::endl;
}

// A failure before or at a meeting point: report, request the stop, then
// arrive exactly once so the threads waiting there are released and see it.
void fail_and_meet(WorkerContext& ctx, const std::string& first, const std::string* second) {
  {
    std::lock_guard lock(ctx.console_mutex);
    report_error(ctx.result.messages, first);
    if (second != nullptr) report_error(ctx.result.messages, *second);
  }
  ctx.stop_source.request_stop();
  (void)ctx.phase_barrier.arrive_and_wait();
}

// A failure after the last meeting point: nobody waits for us any more.
void fail(WorkerContext& ctx, const std::string& text) {
  std::lock_guard lock(ctx.console_mutex);
  report_error(ctx.result.messages, text);
  ctx.stop_source.request_stop();
}

// True when the run goes on after this meeting point. The barrier's verdict
// (was a stop requested when the meeting completed?) is the same for every
// thread, so either all leave here or all go on to the next meeting.
bool meet(WorkerContext& ctx) { return !ctx.phase_barrier.arrive_and_wait(); }

std::unique_ptr<Workload> build_workload(const WorkerContext& ctx) {
  try {
    return ctx.params.seams.make_workload(ctx.params.workload, ctx.params.isa, ctx.thread_index);
  } catch (const std::bad_alloc&) {
    return nullptr;  // reported like any workload that could not be built
  }
}

// The thread's clock now, as a float for its marks; kNoClock when not
// measured.
float probe_clock(const WorkerContext& ctx) {
  if (!ctx.params.seams.measure_clock) return kNoClock;
  const std::optional<double> mhz = ctx.params.seams.measure_clock();
  return mhz ? static_cast<float>(*mhz) : kNoClock;
}

struct LoopEnd {
  bool completed = false;  // false: the thread leaves without a result
  std::uint64_t iterations = 0;
  std::int64_t coarse_start = 0;
  std::int64_t fast_start = 0;
};

// Steps until the coarse timer shows the duration. No lock but the reporter's
// console lock, no fast-timer reading and no allocation in here. At each whole
// coarse second the steps finished so far go into the thread's own marks,
// reserved before the run: one comparison per step, one store per second,
// and one clock probe of a few microseconds per second beside it.
LoopEnd timed_loop(WorkerContext& ctx, Workload& workload) {
  const RunParams& params = ctx.params;
  ProgressSlot& slot = ctx.progress.slot(ctx.thread_index);
  const std::uint64_t updates_per_step = workload.updates_per_step();
  const std::int64_t target_ms = static_cast<std::int64_t>(params.duration) * 1000;
  const std::span<std::uint64_t> marks = ctx.result.marks.row(ctx.thread_index);
  const std::span<float> clocks = ctx.result.marks.clocks(ctx.thread_index);
  ctx.result.marks.set_updates_per_step(ctx.thread_index, updates_per_step);
  // A step that outlasts the run lands in the last mark.
  const std::int64_t last_mark = marks.empty() ? 0 : static_cast<std::int64_t>(marks.size() - 1);
  std::int64_t next_mark_ms = marks.empty() ? std::numeric_limits<std::int64_t>::max() : 1000;
  LoopEnd end;
  std::uint64_t i = 0;
  std::int64_t elapsed_ms = 0;
  if (!marks.empty()) {
    marks[0] = 0;
    clocks[0] = probe_clock(ctx);
  }
  // Coarse first at the start, fast first at the end: the fast span lies
  // inside the coarse one.
  end.coarse_start = CoarseTimer::now();
  end.fast_start = FastTimer::now();
  do {
    if (ctx.reporter) {
      std::lock_guard lock(ctx.console_mutex);
      print_progress(elapsed_ms / 1000, params.duration, ctx.progress);
    }
    std::optional<std::string> failure = workload.apply_source(i);
    if (!failure) failure = workload.step();
    if (!failure) failure = workload.verify_step(i);
    if (failure) {
      fail(ctx, *failure);
      return end;
    }
    if (ctx.stop_source.stop_requested()) return end;
    ++i;
    elapsed_ms = elapsed_milliseconds(ctx.coarse_timer, end.coarse_start, CoarseTimer::now());
    if (elapsed_ms >= next_mark_ms) {
      // A step longer than a second skips marks; the timeline spreads it.
      const std::int64_t second = std::min(elapsed_ms / 1000, last_mark);
      marks[static_cast<std::size_t>(second)] = i;
      clocks[static_cast<std::size_t>(second)] = probe_clock(ctx);
      next_mark_ms = (second + 1) * 1000;
    }
    if (elapsed_ms > 0) {
      const double updates = static_cast<double>(updates_per_step * i);
      slot.mgups.store(updates / (static_cast<double>(elapsed_ms) * 1000.0),
                       std::memory_order_relaxed);
    }
    slot.iterations.store(i, std::memory_order_relaxed);
  } while (elapsed_ms < target_ms);
  end.completed = true;
  end.iterations = i;
  return end;
}

// Builds, allocates and initialises the workload with the first two meetings;
// null when this thread leaves before the timed loop. `t0` is when the
// reporter started its set-up.
std::unique_ptr<Workload> set_up(WorkerContext& ctx, std::int64_t t0) {
  const RunParams& params = ctx.params;
  std::unique_ptr<Workload> workload = build_workload(ctx);
  if (!workload) {
    fail_and_meet(ctx,
                  fmt::format("could not initalize workload {} in thread {}", params.workload,
                              ctx.thread_index),
                  nullptr);
    return nullptr;
  }
  if (std::optional<std::string> failure =
          workload->allocate_fields(FieldConfig{params.allocator, params.size, kLatticeSpacing})) {
    fail_and_meet(ctx, fmt::format("field allocation failed in thread {}", ctx.thread_index),
                  &*failure);
    return nullptr;
  }
  if (!meet(ctx)) return nullptr;

  if (ctx.reporter) print_line(ctx, std::cout, "initalizing fields...");
  if (std::optional<std::string> failure = workload->init_fields()) {
    fail_and_meet(ctx, fmt::format("failed to initalize field in thread {}", ctx.thread_index),
                  &*failure);
    return nullptr;
  }
  if (!meet(ctx)) return nullptr;

  // Spans the reporter's own set-up and both waits, so it ends when the
  // slowest thread has initialised its fields.
  const std::int64_t t1 = FastTimer::now();
  if (ctx.reporter) {
    // Only worker 0 writes it, and the run reads it after every join.
    ctx.result.init_ms = elapsed_milliseconds(ctx.fast_timer, t0, t1);
    print_line(ctx, std::cout, fmt::format("initialization took {}ms", *ctx.result.init_ms));
  }
  return workload;
}

// The plan's entry for this thread, else where the system says it last ran.
std::optional<ProcessorNumber> processor_of(const WorkerContext& ctx) {
  const std::vector<LogicalProcessor>& plan = ctx.params.threading_manager.plan;
  if (ctx.thread_index < plan.size()) {
    return ProcessorNumber{plan[ctx.thread_index].group, plan[ctx.thread_index].os_index};
  }
  return current_processor();
}

// After a completed loop: the reporter's last progress line, validation and
// the thread's result. The whole grid is compared before the energy check,
// outside the timed spans: it is the exact one, and it names the processor.
void finish(WorkerContext& ctx, Workload& workload, const LoopEnd& loop) {
  const std::int64_t fast_end = FastTimer::now();
  const std::int64_t coarse_end = CoarseTimer::now();
  const std::span<float> clocks = ctx.result.marks.clocks(ctx.thread_index);
  if (!clocks.empty()) clocks.back() = probe_clock(ctx);
  if (ctx.reporter) {
    {
      std::lock_guard lock(ctx.console_mutex);
      print_progress(elapsed_seconds(ctx.fast_timer, loop.fast_start, fast_end),
                     ctx.params.duration, ctx.progress);
      std::cout << std::endl;
    }
    print_line(ctx, std::cout, "validating result..");
  }
  if (const std::optional<GridMismatch> mismatch = workload.check_state()) {
    fail(ctx, state_failure_text(ctx.thread_index, processor_of(ctx), *mismatch));
    return;
  }
  if (std::optional<std::string> failure = workload.validate_result(loop.iterations)) {
    fail(ctx, *failure);
    return;
  }
  ThreadResult result;
  result.thread_index = ctx.thread_index;
  result.coarse_ms = elapsed_milliseconds(ctx.coarse_timer, loop.coarse_start, coarse_end);
  result.fast_us = elapsed_microseconds(ctx.fast_timer, loop.fast_start, fast_end);
  result.iterations = loop.iterations;
  result.updates = workload.updates_per_step() * loop.iterations;
  std::lock_guard lock(ctx.results_mutex);
  ctx.result.results.push_back(result);
}

}  // namespace

void run_worker(WorkerContext ctx) {
  ctx.params.threading_manager.place_current_thread(ctx.thread_index);
  if (ctx.reporter) {
    print_line(ctx, std::cout,
               std::string("allocating fields.... ") +
                   (ctx.params.allocator.large_pages ? "(large pages)" : ""));
  }
  const std::int64_t t0 = FastTimer::now();
  // Leaving destroys the workload, whichever way this thread leaves.
  const std::unique_ptr<Workload> workload = set_up(ctx, t0);
  if (!workload) return;

  // The last meeting: the timed loops start together.
  (void)ctx.phase_barrier.arrive_and_wait();
  if (ctx.reporter) print_line(ctx, std::cout, "starting bench..");

  const LoopEnd loop = timed_loop(ctx, *workload);
  if (loop.completed) finish(ctx, *workload, loop);
}

}  // namespace brisk
