// The cost of comparing the whole standing_wave grid with its exact state
// (check_state, once after every run), beside one step at the same grid:
// grids 64, 192 and 512, one thread, sse2.
//
//   taskset -c 1 brisk_state_check_bench [--benchmark_repetitions=N]
//
// Each benchmark's time is per call; the step's MGups counter is the score's
// unit. The check's share of a run is its time over the run's duration.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>

#include "solver/standing_wave.h"

namespace brisk {
namespace {

const FieldAllocator& heap() {
  static const FieldAllocator allocator{};
  return allocator;
}

// A workload ready to step, or the reason it is not.
std::optional<std::string> prepare(StandingWave<Sse2>& workload, std::uint64_t n) {
  if (auto failure = workload.allocate_fields(FieldConfig{heap(), n, 0.01})) return failure;
  return workload.init_fields();
}

void check_benchmark(benchmark::State& state) {
  const auto n = static_cast<std::uint64_t>(state.range(0));
  StandingWave<Sse2> workload(0);
  if (auto failure = prepare(workload, n)) {
    state.SkipWithError(failure->c_str());
    return;
  }
  for (auto _ : state) {
    const std::optional<GridMismatch> mismatch = workload.check_state();
    if (mismatch) {
      state.SkipWithError("the clean grid did not match");
      break;
    }
  }
  // Both fields, 64 bytes per lattice point.
  const double bytes = 64.0 * static_cast<double>((n + 2) * (n + 2) * (n + 2));
  state.counters["GB/s"] =
      benchmark::Counter(bytes * state.iterations() / 1e9, benchmark::Counter::kIsRate);
}

void step_benchmark(benchmark::State& state) {
  const auto n = static_cast<std::uint64_t>(state.range(0));
  StandingWave<Sse2> workload(0);
  if (auto failure = prepare(workload, n)) {
    state.SkipWithError(failure->c_str());
    return;
  }
  for (auto _ : state) {
    if (auto failure = workload.step()) {
      state.SkipWithError(failure->c_str());
      break;
    }
  }
  state.counters["MGups"] = benchmark::Counter(
      static_cast<double>(workload.updates_per_step()) * state.iterations() / 1e6,
      benchmark::Counter::kIsRate);
}

BENCHMARK(check_benchmark)
    ->Name("check_state")
    ->Arg(64)
    ->Arg(192)
    ->Arg(512)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(step_benchmark)
    ->Name("step")
    ->Arg(64)
    ->Arg(192)
    ->Arg(512)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace brisk

BENCHMARK_MAIN();
