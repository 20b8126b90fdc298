// What brisk's clock probe costs a score: one thread's timed loop at grids 64
// and 192, stepping until the coarse timer shows a whole second, without the
// probe and with one probe at the end of the second, as each worker does; and
// the probe alone, whose time per second of run is its share of the score.
//
//   taskset -c 1 brisk_clock_bench [--benchmark_repetitions=N] [other flags]
//
// Every benchmark runs 5 times unless told otherwise, in an order shuffled
// per round (random interleaving), so a busy moment of a shared machine hits
// both variants alike; the summary takes the best round of each.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "memory/field_allocator.h"
#include "platform/clock_probe.h"
#include "platform/timers.h"
#include "solver/field_config.h"
#include "solver/workload.h"
#include "solver/workload_factory.h"

namespace brisk {
namespace {

// One benchmark iteration is one second of a worker's timed loop: the same
// three calls per step and one coarse reading per step; `probe` adds the
// clock probe at the second's mark.
void loop_benchmark(benchmark::State& state, const char* isa, std::uint64_t n, bool probe) {
  const FieldAllocator allocator{false};
  std::unique_ptr<Workload> workload = make_workload("standing_wave", isa, 0);
  std::optional<std::string> failure = workload ? std::nullopt : std::optional<std::string>("isa");
  if (!failure) failure = workload->allocate_fields(FieldConfig{allocator, n, 0.01});
  if (!failure) failure = workload->init_fields();
  if (failure) {
    state.SkipWithError(failure->c_str());
    return;
  }
  prepare_clock_probe();
  std::uint64_t i = 0;
  for (auto _ : state) {
    const std::int64_t start = CoarseTimer::now();
    do {
      failure = workload->apply_source(i);
      if (!failure) failure = workload->step();
      if (!failure) failure = workload->verify_step(i);
      ++i;
    } while (!failure && CoarseTimer::now() - start < 1000);
    if (failure) {
      state.SkipWithError(failure->c_str());
      break;
    }
    if (probe) benchmark::DoNotOptimize(measure_clock_mhz());
  }
  state.counters["MGups"] = benchmark::Counter(
      static_cast<double>(workload->updates_per_step()) * static_cast<double>(i) / 1e6,
      benchmark::Counter::kIsRate);
}

void probe_benchmark(benchmark::State& state) {
  prepare_clock_probe();
  for (auto _ : state) benchmark::DoNotOptimize(measure_clock_mhz());
}

// The console report, plus one line per benchmark with its best round.
class BestReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Best& best = best_[run.run_name.function_name];
      const auto rate = run.counters.find("MGups");
      if (rate != run.counters.end()) best.rate = std::max(best.rate, rate->second.value);
      // Processor time too: on a shared machine a round's wall time holds
      // the moments other programs had the processor.
      const double unit = 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const double us = run.GetAdjustedRealTime() * unit;
      const double cpu_us = run.GetAdjustedCPUTime() * unit;
      if (best.us == 0.0 || us < best.us) best.us = us;
      if (best.cpu_us == 0.0 || cpu_us < best.cpu_us) best.cpu_us = cpu_us;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::cout << std::endl << "best of the rounds" << std::endl;
    for (const auto& [name, best] : best_) {
      if (best.rate > 0.0) {
        std::cout << fmt::format("{:<28} {:10.2f} MGups", name, best.rate) << std::endl;
      } else {
        std::cout << fmt::format(
                         "{:<28} {:10.3f} us per probe ({:.3f} us of processor time) = {:.5f}% "
                         "of each second",
                         name, best.us, best.cpu_us, std::min(best.us, best.cpu_us) / 1e4)
                  << std::endl;
      }
    }
  }

 private:
  struct Best {
    double rate = 0.0;
    double us = 0.0;
    double cpu_us = 0.0;
  };
  std::map<std::string, Best> best_;
};

void register_all() {
  const char* isa = check_isa_support("fma") ? "sse2" : "fma";
  for (std::uint64_t n : {64, 192}) {
    for (bool probe : {false, true}) {
      const std::string name =
          fmt::format("loop/{}/{}/{}", isa, n, probe ? "with_probe" : "without");
      benchmark::RegisterBenchmark(
          name.c_str(),
          [isa, n, probe](benchmark::State& state) { loop_benchmark(state, isa, n, probe); })
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  benchmark::RegisterBenchmark("probe", probe_benchmark)->Unit(benchmark::kMicrosecond);
}

}  // namespace
}  // namespace brisk

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  bool repetitions_given = false;
  for (char* arg : args) {
    if (std::strncmp(arg, "--benchmark_repetitions", 23) == 0) repetitions_given = true;
  }
  static char default_repetitions[] = "--benchmark_repetitions=5";
  static char interleaving[] = "--benchmark_enable_random_interleaving=true";
  if (!repetitions_given) args.push_back(default_repetitions);
  args.push_back(interleaving);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  brisk::register_all();
  brisk::BestReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
