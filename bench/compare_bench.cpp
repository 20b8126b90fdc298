// brisk compare over a fleet: 1,000 results documents of a 10-point size
// sweep, 5 sub-runs of 16 threads each, read, compared with the first and
// printed. The documents are written once to a folder that is kept, so the
// real command can be timed on the same files (bench/make_compare_fleet.sh).
//
//   brisk_compare_bench [benchmark flags] [--fleet-dir=DIR] [--make-fleet]
//
// --make-fleet writes the documents (if missing), prints the folder and exits.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include "compare/compare_console.h"
#include "compare/comparison.h"
#include "compare/results_reader.h"
#include "platform/topology.h"
#include "results/json_writer.h"
#include "results/record_context.h"

namespace brisk {
namespace {

constexpr int kFiles = 1000;
constexpr std::uint32_t kSubRuns = 5;
constexpr std::uint32_t kThreads = 16;
constexpr std::size_t kPoints = 10;  // the first ten grid sizes, 64 to 768

std::string g_fleet_dir = (std::filesystem::temp_directory_path() / "brisk-compare-bench").string();

// A thread's share of a run: updates and both timers consistent with its rate.
ThreadOutcome thread_outcome(std::uint32_t index, double mgups, std::mt19937& random) {
  std::uniform_int_distribution<int> jitter(-400, 400);
  ThreadOutcome t;
  t.result.thread_index = index;
  t.result.fast_us = 1000000 + jitter(random);
  t.result.coarse_ms = 1000 + jitter(random) / 100;
  t.result.updates = static_cast<std::uint64_t>(mgups * t.result.fast_us);
  t.result.iterations = t.result.updates / 262144 + 1;
  t.mgups = mgups;
  t.processor = PlacedProcessor{0, index};
  return t;
}

// A machine-wide rate per grid size (in cache: fast; out of it: memory bound)
// scaled by `speed`, with a little noise per sub-run and per thread.
RunOutcome run_outcome(std::size_t point, double speed, std::mt19937& random) {
  std::normal_distribution<double> sub_run_noise(1.0, 0.006);
  std::normal_distribution<double> thread_noise(1.0, 0.02);
  const double base = 9000.0 / (1.0 + 0.35 * static_cast<double>(point));
  const double total = base * speed * sub_run_noise(random);
  RunOutcome o;
  o.valid = true;
  o.settings = {kThreads, 1, kGridSizes[point], "os", "standing_wave", "avx2", false, "ordinary"};
  o.init_ms = 20 + static_cast<std::int64_t>(point) * 7;
  double sum = 0.0;
  for (std::uint32_t t = 0; t < kThreads; ++t) {
    o.threads.push_back(thread_outcome(t, total / kThreads * thread_noise(random), random));
    sum += o.threads.back().mgups;
  }
  o.score = sum;
  return o;
}

// File `i` of the fleet: the same machine, each file a little faster or
// slower; every 50th a clear regression, every 97th with one invalid run.
ResultsRecord fleet_record(int i, const ResultsRecord& machine) {
  ResultsRecord record = machine;
  record.start_time = utc_iso8601(1765000000 + i * 600);
  record.end_time = utc_iso8601(1765000000 + i * 600 + 320);
  record.finished = true;
  record.sweep.points.clear();
  for (std::size_t p = 0; p < kPoints; ++p) {
    record.sweep.points.push_back(fmt::format("{}", kGridSizes[p]));
  }
  std::mt19937 random(static_cast<unsigned>(i) * 7919u + 1u);
  double speed = 1.0 + 0.004 * std::sin(i * 0.37);
  if (i > 0 && i % 50 == 0) speed *= 0.95;
  for (std::size_t p = 0; p < kPoints; ++p) {
    for (std::uint32_t sub = 1; sub <= kSubRuns; ++sub) {
      RunOutcome outcome = run_outcome(p, speed, random);
      if (i % 97 == 1 && p == 3 && sub == 2) {
        outcome.valid = false;
        outcome.messages = {"disagreement between timers for total work is larger than tolerance",
                            "fast timer = 1001ms    coarse timer = 1040ms"};
      }
      record.runs.push_back({p, sub, std::move(outcome)});
    }
  }
  return record;
}

std::vector<std::string> make_fleet() {
  std::filesystem::create_directories(g_fleet_dir);
  TopologyHolder topology;
  BenchConfig config;
  config.numthreads = kThreads;
  config.duration = 1;
  config.isa = "avx2";
  const ResultsRecord machine = start_record(
      {"brisk", "-d", "1", "--harness-var", "size", "--harness-opt", "64-768", "-n", "16"}, config,
      {"size", "64-768", kSubRuns}, topology);
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    const std::filesystem::path path =
        std::filesystem::path(g_fleet_dir) / fmt::format("fleet{:04d}.json", i);
    paths.push_back(path.string());
    if (std::filesystem::exists(path)) continue;  // made by an earlier run
    std::ofstream(path, std::ios::binary) << render_json(fleet_record(i, machine));
  }
  return paths;
}

const std::vector<std::string>& fleet() {
  static const std::vector<std::string> paths = make_fleet();
  return paths;
}

// Discards everything, as > /dev/null would, after the formatting is done.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::vector<ComparedFile> load_all(benchmark::State& state) {
  std::vector<ComparedFile> files(fleet().size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].name = fleet()[i];
    if (auto failure = load_results_file(fleet()[i], files[i].document)) {
      state.SkipWithError(failure->c_str());
      return {};
    }
    files[i].incomplete = !files[i].document.finished;
  }
  return files;
}

double peak_resident_mb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0.0;
}

double fleet_megabytes() {
  std::uintmax_t bytes = 0;
  for (const std::string& path : fleet()) bytes += std::filesystem::file_size(path);
  return static_cast<double>(bytes) / (1 << 20);
}

// First of all, so the process's peak is this run's and not the fixtures'.
void BM_EndToEnd(benchmark::State& state) {
  (void)fleet();
  NullBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) {
    std::vector<ComparedFile> files = load_all(state);
    const Comparison comparison = compare_files(std::move(files), kDefaultThresholdPercent);
    print_comparison(comparison, out);
    benchmark::DoNotOptimize(comparison.rows.data());
  }
  state.counters["peak_MB"] = peak_resident_mb();
  state.counters["fleet_MB"] = fleet_megabytes();
}

void BM_LoadAll(benchmark::State& state) {
  (void)fleet();
  for (auto _ : state) {
    std::vector<ComparedFile> files = load_all(state);
    benchmark::DoNotOptimize(files.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fleet_megabytes()) << 20);
}

const std::vector<ComparedFile>& loaded(benchmark::State& state) {
  static const std::vector<ComparedFile> files = load_all(state);
  return files;
}

void BM_CompareFiles(benchmark::State& state) {
  const std::vector<ComparedFile>& files = loaded(state);
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<ComparedFile> copy = files;  // compare_files takes its files
    state.ResumeTiming();
    const Comparison comparison = compare_files(std::move(copy), kDefaultThresholdPercent);
    benchmark::DoNotOptimize(comparison.rows.data());
  }
}

void BM_PrintComparison(benchmark::State& state) {
  static const Comparison comparison = compare_files(loaded(state), kDefaultThresholdPercent);
  NullBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) print_comparison(comparison, out);
  state.counters["rows"] = static_cast<double>(comparison.rows.size());
}

// The machine's memory bandwidth beside the figures above.
void BM_Memcpy64MiB(benchmark::State& state) {
  const std::size_t bytes = 64u << 20;
  std::vector<char> from(bytes, 1), to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_EndToEnd)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompareFiles)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PrintComparison)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brisk

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bool make_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--fleet-dir=", 0) == 0) {
      brisk::g_fleet_dir = arg.substr(12);
    } else if (arg == "--make-fleet") {
      make_only = true;
    } else {
      std::cerr << "unknown argument: " << arg << std::endl;
      return 1;
    }
  }
  if (make_only) {
    std::cout << fmt::format("{} documents in {}", brisk::fleet().size(), brisk::g_fleet_dir)
              << std::endl;
    return 0;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
