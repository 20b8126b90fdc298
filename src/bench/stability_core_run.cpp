#include "bench/stability_core_run.h"

#include <fmt/format.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "bench/state_failure.h"
#include "platform/threading.h"
#include "platform/timers.h"
#include "solver/field_config.h"

namespace brisk {
namespace {

constexpr double kLatticeSpacing = 0.01;

// Steps until the coarse timer shows the duration, the node check after
// every step as in a run; the rate from the fast timer's span.
void timed_loop(const StabilityParams& params, Workload& workload, CoreRound& round) {
  const FastTimer fast;
  const CoarseTimer coarse;
  const std::int64_t target_ms = static_cast<std::int64_t>(params.duration) * 1000;
  std::uint64_t i = 0;
  std::int64_t elapsed_ms = 0;
  const std::int64_t coarse_start = CoarseTimer::now();
  const std::int64_t fast_start = FastTimer::now();
  do {
    std::optional<std::string> failure = workload.apply_source(i);
    if (!failure) failure = workload.step();
    if (!failure) failure = workload.verify_step(i);
    if (failure) {
      round.failure = std::move(failure);
      round.wrong_value = true;  // a check of the values failed
      return;
    }
    ++i;
    elapsed_ms = elapsed_milliseconds(coarse, coarse_start, CoarseTimer::now());
  } while (elapsed_ms < target_ms);
  const std::int64_t fast_us = elapsed_microseconds(fast, fast_start, FastTimer::now());
  if (fast_us > 0) {
    const double updates = static_cast<double>(workload.updates_per_step() * i);
    round.mgups = updates / 1e6 / (static_cast<double>(fast_us) / 1e6);
  }
}

std::optional<double> probe_clock(const StabilityParams& params) {
  if (!params.seams.measure_clock) return std::nullopt;
  return params.seams.measure_clock();
}

// The processor's clock over the round: the mean of the probes around its
// loop, or the one that gave a value.
std::optional<double> mean_clock(std::optional<double> before, std::optional<double> after) {
  if (before && after) return (*before + *after) / 2;
  return before ? before : after;
}

void run_bound(const StabilityParams& params, const StabilityTarget& target, CoreRound& round) {
  const LogicalProcessor& p = target.processor;
  const std::optional<ProcessorNumber> where = ProcessorNumber{p.group, p.os_index};
  if (!bind_current_thread(p.group, p.os_index)) {
    round.failure = fmt::format("could not bind a thread to {}", processor_label(where));
    return;
  }
  std::unique_ptr<Workload> workload;
  try {
    workload = params.seams.make_workload("standing_wave", params.isa, 0);
  } catch (const std::bad_alloc&) {
  }
  if (!workload) {
    round.failure = std::string("could not initalize workload standing_wave");
    return;
  }
  if (auto failure =
          workload->allocate_fields(FieldConfig{params.allocator, params.size, kLatticeSpacing})) {
    round.failure = std::move(failure);
    return;
  }
  if (auto failure = workload->init_fields()) {
    round.failure = std::move(failure);
    return;
  }
  const std::optional<double> before = probe_clock(params);
  timed_loop(params, *workload, round);
  round.clock_mhz = mean_clock(before, probe_clock(params));
  // Also after a failed node check: the count and the first wrong value say
  // more than one node's energy.
  round.mismatch = workload->check_state();
}

}  // namespace

CoreRound run_core_round(const StabilityParams& params, const StabilityTarget& target) {
  CoreRound round;
  try {
    std::thread thread([&] { run_bound(params, target, round); });
    thread.join();
  } catch (const std::system_error& error) {
    round.failure = fmt::format("could not start a thread: {}", error.what());
  }
  return round;
}

}  // namespace brisk
