// What the page kind of field memory does to a score: one thread's step() at
// grids 64 and 192 on ordinary pages (brisk's default) against large pages
// (--large-pages: the hugetlb pool, else transparent huge pages), with a
// streaming reference on the same two kinds of block: a triad over arrays far
// larger than the last-level cache, in GB/s counted with write-allocate.
//
//   brisk_pages_bench [--benchmark_repetitions=N] [other Google Benchmark flags]
//
// Every benchmark runs 5 times unless told otherwise, in an order shuffled
// per round (random interleaving), so a busy moment of a shared machine hits
// both kinds alike; the summary takes the best round of each, and the share
// of the block the kernel put on huge pages, as brisk records it per run.
// Rates are per wall-clock second, as brisk's scores are.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memory/field_buffer.h"
#include "memory/field_pages.h"
#include "solver/isa.h"
#include "solver/standing_wave.h"
#include "solver/workload_factory.h"

namespace brisk {
namespace {

constexpr double kBytesPerTriadElement = 32.0;  // read b, read c, allocate and write a
constexpr std::uint64_t kTriadBytes = std::uint64_t{256} << 20;  // per array

const char* kind_label(bool large) { return large ? "large" : "ordinary"; }

// The run's page kind and share, as brisk records them, as counters (kind:
// the PageKind's number).
void count_pages(benchmark::State& state, const PageTally& tally) {
  if (const std::optional<FieldPages> pages = tally.total()) {
    state.counters["huge%"] = pages->huge_percent();
    state.counters["kind"] = static_cast<double>(pages->kind);
  }
}

template <class Tag>
void step_benchmark(benchmark::State& state, std::uint64_t n, bool large) {
  if (auto missing = check_isa_support(isa_name(Tag{}))) {
    state.SkipWithError(("not supported here: " + *missing).c_str());
    return;
  }
  PageTally tally;
  const FieldAllocator allocator{large, &tally};
  StandingWave<Tag> workload(0);
  std::optional<std::string> failure = workload.allocate_fields(FieldConfig{allocator, n, 0.01});
  if (!failure) failure = workload.init_fields();
  if (failure) {
    state.SkipWithError(failure->c_str());
    return;
  }
  for (auto _ : state) {
    if (auto failed = workload.step()) {
      state.SkipWithError(failed->c_str());
      break;
    }
  }
  state.counters["MGups"] = benchmark::Counter(
      static_cast<double>(workload.updates_per_step()) * state.iterations() / 1e6,
      benchmark::Counter::kIsRate);
  count_pages(state, tally);
}

void triad_benchmark(benchmark::State& state, bool large) {
  PageTally tally;
  const FieldAllocator allocator{large, &tally};
  const std::uint64_t points = kTriadBytes / sizeof(FieldPoint);
  const FieldBuffer a(points, allocator);
  const FieldBuffer b(points, allocator);
  const FieldBuffer c(points, allocator);
  if (a.data() == nullptr || b.data() == nullptr || c.data() == nullptr) {
    state.SkipWithError("field allocation failed");
    return;
  }
  const std::uint64_t elements = kTriadBytes / sizeof(double);
  auto* pa = reinterpret_cast<double*>(a.data());
  auto* pb = reinterpret_cast<double*>(b.data());
  auto* pc = reinterpret_cast<double*>(c.data());
  for (std::uint64_t i = 0; i < elements; ++i) {
    pb[i] = 1.0 + static_cast<double>(i % 7);
    pc[i] = 2.0 - static_cast<double>(i % 5);
  }
  const double scalar = 0.5;
  for (auto _ : state) {
    double* __restrict out = pa;
    const double* __restrict in1 = pb;
    const double* __restrict in2 = pc;
    for (std::uint64_t i = 0; i < elements; ++i) out[i] = in1[i] + scalar * in2[i];
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.counters["GB/s"] = benchmark::Counter(
      kBytesPerTriadElement * elements * state.iterations() / 1e9, benchmark::Counter::kIsRate);
  count_pages(state, tally);
}

// The console report, plus one line per benchmark with its best round.
class BestReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Best& best = best_[run.run_name.function_name];
      for (const auto& [name, counter] : run.counters) {
        if (name == "MGups" || name == "GB/s") {
          if (counter.value > best.rate) best.rate = counter.value, best.unit = name;
        } else if (name == "huge%") {
          best.lowest_huge = std::min(best.lowest_huge, counter.value);
        } else if (name == "kind") {
          best.kind = static_cast<PageKind>(static_cast<int>(counter.value));
        }
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::cout << std::endl << "best of the rounds (lowest share on huge pages)" << std::endl;
    for (const auto& [name, best] : best_) {
      std::cout << fmt::format("{:<32} {:8.1f} {:<5}  {:<11} {:5.1f}%", name, best.rate, best.unit,
                               page_kind_name(best.kind), best.lowest_huge)
                << std::endl;
    }
  }

 private:
  struct Best {
    double rate = 0.0;
    std::string unit;
    double lowest_huge = 100.0;
    PageKind kind = PageKind::ordinary;
  };
  std::map<std::string, Best> best_;
};

void register_all() {
  const bool fma = !check_isa_support("fma");
  for (bool large : {false, true}) {
    for (std::uint64_t n : {64, 192}) {
      const std::string name =
          fmt::format("step/{}/{}/{}", fma ? "fma" : "sse2", n, kind_label(large));
      benchmark::RegisterBenchmark(name.c_str(),
                                   [n, large, fma](benchmark::State& state) {
                                     if (fma) {
                                       step_benchmark<Fma>(state, n, large);
                                     } else {
                                       step_benchmark<Sse2>(state, n, large);
                                     }
                                   })
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
    benchmark::RegisterBenchmark(
        fmt::format("triad/{}", kind_label(large)).c_str(),
        [large](benchmark::State& state) { triad_benchmark(state, large); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
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
