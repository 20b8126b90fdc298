// Throughput of the solver against the memory bandwidth of the machine.
//
// For every ISA variant: step() at grid sizes 64 and 192 in MGups (the
// updates a step counts for the score, 2 N^3, per second). verify_step of
// both workloads. And, in the same run, a triad over arrays far larger than
// the last-level cache, counted with write-allocate (32 bytes per element),
// turned into the bandwidth bound of a step: an H sweep reads E, reads and
// writes H, and the E sweep the same, so a counted update moves at least 96
// bytes. After the runs each variant's share of that bound is printed.
//
//   brisk_solver_bench [--benchmark_repetitions=N] [other Google Benchmark flags]
//
// Without --benchmark_repetitions every benchmark runs 5 times and the
// summary uses the medians.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "solver/isa.h"
#include "solver/soft_gaussian.h"
#include "solver/standing_wave.h"
#include "solver/workload_factory.h"

namespace brisk {
namespace {

constexpr double kBytesPerUpdate = 96.0;
constexpr double kBytesPerTriadElement = 32.0;  // read b, read c, allocate and write a
constexpr std::uint64_t kTriadElements = std::uint64_t{1} << 25;  // 3 x 256 MiB

const FieldAllocator& heap() {
  static const FieldAllocator allocator{};
  return allocator;
}

// A workload ready to step, or the reason it is not.
template <class W>
std::optional<std::string> prepare(W& workload, std::uint64_t n) {
  if (auto failure = workload.allocate_fields(FieldConfig{heap(), n, 0.01})) return failure;
  return workload.init_fields();
}

template <class Tag>
void step_benchmark(benchmark::State& state, std::uint64_t n) {
  if (auto missing = check_isa_support(isa_name(Tag{}))) {
    state.SkipWithError(("not supported here: " + *missing).c_str());
    return;
  }
  StandingWave<Tag> workload(0);
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

template <class W>
void verify_benchmark(benchmark::State& state, std::uint64_t n) {
  W workload(0);
  if (auto failure = prepare(workload, n)) {
    state.SkipWithError(failure->c_str());
    return;
  }
  // One sourced step, so soft_gaussian's check has energy to compare.
  if (auto failure = workload.apply_source(0)) {
    state.SkipWithError(failure->c_str());
    return;
  }
  if (auto failure = workload.step()) {
    state.SkipWithError(failure->c_str());
    return;
  }
  for (auto _ : state) {
    if (auto failure = workload.verify_step(0)) {
      state.SkipWithError(failure->c_str());
      break;
    }
  }
}

void triad_benchmark(benchmark::State& state) {
  std::unique_ptr<double[]> a(new double[kTriadElements]);
  std::unique_ptr<double[]> b(new double[kTriadElements]);
  std::unique_ptr<double[]> c(new double[kTriadElements]);
  for (std::uint64_t i = 0; i < kTriadElements; ++i) {
    a[i] = 0.0;
    b[i] = 1.0 + static_cast<double>(i % 7);
    c[i] = 2.0 - static_cast<double>(i % 5);
  }
  const double scalar = 0.5;
  for (auto _ : state) {
    double* __restrict pa = a.get();
    const double* __restrict pb = b.get();
    const double* __restrict pc = c.get();
    for (std::uint64_t i = 0; i < kTriadElements; ++i) pa[i] = pb[i] + scalar * pc[i];
    benchmark::DoNotOptimize(pa);
    benchmark::ClobberMemory();
  }
  state.counters["GB/s"] =
      benchmark::Counter(kBytesPerTriadElement * kTriadElements * state.iterations() / 1e9,
                         benchmark::Counter::kIsRate);
}

// The console report, plus the summary against the bandwidth bound once
// every benchmark has run.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // The median when there are repetitions, else the single run.
      const bool wanted =
          run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1;
      if (!wanted) continue;
      Figures& figures = results_[run.run_name.function_name];
      figures.seconds = run.GetAdjustedCPUTime() / unit_per_second(run.time_unit);
      for (const auto& [name, counter] : run.counters) figures.counters[name] = counter.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    print_summary();
  }

 private:
  struct Figures {
    double seconds = 0.0;
    std::map<std::string, double> counters;
  };

  static double unit_per_second(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1e9;
      case benchmark::kMicrosecond:
        return 1e6;
      case benchmark::kMillisecond:
        return 1e3;
      default:
        return 1.0;
    }
  }

  const Figures* find(const std::string& name) const {
    const auto found = results_.find(name);
    return found == results_.end() ? nullptr : &found->second;
  }

  double mgups(const std::string& isa, int n) const {
    const Figures* figures = find(fmt::format("step/{}/{}", isa, n));
    if (figures == nullptr) return 0.0;
    const auto counter = figures->counters.find("MGups");
    return counter == figures->counters.end() ? 0.0 : counter->second;
  }

  void print_summary() const {
    std::ostream& out = std::cout;
    out << std::endl << "summary (medians)" << std::endl;
    // The triad runs first and last; the higher median is the bound, so a
    // busy moment during one of them cannot make the shares look better.
    double gbs = 0.0;
    for (const char* name : {"triad", "triad_end"}) {
      const Figures* triad = find(name);
      if (triad == nullptr || triad->counters.count("GB/s") == 0) continue;
      const double rate = triad->counters.at("GB/s");
      out << fmt::format("bandwidth reference: {} {:.2f} GB/s (32 bytes per element)", name, rate)
          << std::endl;
      if (rate > gbs) gbs = rate;
    }
    const double bound = gbs * 1e9 / kBytesPerUpdate / 1e6;
    if (bound > 0.0) {
      out << fmt::format("step bound: {:.1f} MGups ({:.2f} GB/s, 96 bytes per counted update)",
                         bound, gbs)
          << std::endl;
    }
    for (int n : {64, 192}) {
      for (const char* isa : {"sse2", "avx", "avx2", "fma"}) {
        const double rate = mgups(isa, n);
        if (rate == 0.0) continue;
        std::string line = fmt::format("grid {:>3} {:<4} {:8.1f} MGups", n, isa, rate);
        if (bound > 0.0) line += fmt::format("  {:5.1f}% of the bound", 100.0 * rate / bound);
        const double sse2 = mgups("sse2", n);
        if (sse2 > 0.0) line += fmt::format("  {:.2f}x sse2", rate / sse2);
        out << line << std::endl;
      }
    }
    for (const char* workload : {"standing_wave", "soft_gaussian"}) {
      for (int n : {64, 192}) {
        const Figures* verify = find(fmt::format("verify_step/{}/{}", workload, n));
        const Figures* step = find(fmt::format("step/sse2/{}", n));
        const Figures* fma = find(fmt::format("step/fma/{}", n));
        if (verify == nullptr) continue;
        std::string line =
            fmt::format("verify_step {} {:>3}: {:10.1f} us", workload, n, verify->seconds * 1e6);
        if (step != nullptr && step->seconds > 0.0) {
          line +=
              fmt::format("  {:6.3f}% of an sse2 step", 100.0 * verify->seconds / step->seconds);
        }
        if (fma != nullptr && fma->seconds > 0.0) {
          line += fmt::format("  {:6.3f}% of an fma step", 100.0 * verify->seconds / fma->seconds);
        }
        out << line << std::endl;
      }
    }
  }

  std::map<std::string, Figures> results_;
};

template <class Tag>
void register_steps() {
  for (std::uint64_t n : {64, 192}) {
    benchmark::RegisterBenchmark(fmt::format("step/{}/{}", isa_name(Tag{}), n).c_str(),
                                 [n](benchmark::State& state) { step_benchmark<Tag>(state, n); })
        ->Unit(benchmark::kMillisecond);
  }
}

void register_all() {
  benchmark::RegisterBenchmark("triad", triad_benchmark)->Unit(benchmark::kMillisecond);
  register_steps<Sse2>();
  register_steps<Avx>();
  register_steps<Avx2>();
  register_steps<Fma>();
  for (std::uint64_t n : {64, 192}) {
    benchmark::RegisterBenchmark(
        fmt::format("verify_step/standing_wave/{}", n).c_str(),
        [n](benchmark::State& state) { verify_benchmark<StandingWave<Sse2>>(state, n); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(
        fmt::format("verify_step/soft_gaussian/{}", n).c_str(),
        [n](benchmark::State& state) { verify_benchmark<SoftGaussian<Sse2>>(state, n); })
        ->Unit(benchmark::kMicrosecond);
  }
  // The triad again at the end: the bound should not depend on when the
  // machine happened to be quiet.
  benchmark::RegisterBenchmark("triad_end", triad_benchmark)->Unit(benchmark::kMillisecond);
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
  if (!repetitions_given) args.push_back(default_repetitions);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  brisk::register_all();
  brisk::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
