// The history at size: 10,000 saved documents of one machine, read for the
// standing lines and for the listing of brisk history, with the index warm
// and with it deleted (rebuilt from every document).
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <fstream>

#include "compare/results_document.h"
#include "history/history_listing.h"
#include "history/history_paths.h"
#include "history/history_store.h"
#include "history/standing.h"
#include "platform/topology.h"
#include "results/json_writer.h"
#include "results/record_context.h"

namespace brisk {
namespace {

constexpr int kDocuments = 10000;

ResultsRecord sample_record(int i, const ResultsRecord& machine) {
  ResultsRecord record = machine;
  record.start_time = utc_iso8601(1765000000 + i * 60);
  record.finished = true;
  record.sweep = {"threads", "", 3, {"1", "2", "4"}};
  for (std::size_t p = 0; p < 3; ++p) {
    for (std::uint32_t sub = 1; sub <= 3; ++sub) {
      RunOutcome outcome;
      outcome.valid = true;
      outcome.score = 100.0 * (p + 1) + (i % 17) + sub * 0.5;
      outcome.settings = {1u << p, 1, 64, "os", "standing_wave", "sse2", false, "ordinary"};
      outcome.init_ms = 12;
      for (std::uint32_t t = 0; t < (1u << p); ++t) {
        ThreadOutcome thread;
        thread.mgups = outcome.score / (1u << p);
        outcome.threads.push_back(thread);
      }
      record.runs.push_back({p, sub, outcome});
    }
  }
  return record;
}

struct Fixture {
  std::string folder;
  std::string index;
  ResultsDocument current;

  Fixture() {
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / "brisk-history-bench";
    folder = (base / "results").string();
    index = (base / "cache" / "history.idx").string();
    TopologyHolder topology;
    const ResultsRecord machine =
        start_record({"brisk"}, BenchConfig{}, {"threads", "", 3}, topology);
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(base / "cache");
    for (int i = 0; i < kDocuments; ++i) {
      const std::string name =
          history_file_name(1765000000 + i * 60, fmt::format("bench{:07d}", i));
      const std::filesystem::path path = std::filesystem::path(folder) / name;
      if (std::filesystem::exists(path)) continue;  // made by an earlier run
      std::ofstream(path, std::ios::binary) << render_json(sample_record(i, machine));
    }
    current = document_from_record(sample_record(kDocuments, machine));
  }
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

void BM_StandingWarmIndex(benchmark::State& state) {
  Fixture& f = fixture();
  (void)HistoryStore::open(f.folder, f.index);
  for (auto _ : state) {
    const HistoryStore store = HistoryStore::open(f.folder, f.index);
    benchmark::DoNotOptimize(standing_lines(f.current, store, ""));
  }
}

void BM_ListingWarmIndex(benchmark::State& state) {
  Fixture& f = fixture();
  (void)HistoryStore::open(f.folder, f.index);
  const std::string key = current_machine_key();
  for (auto _ : state) {
    const HistoryStore store = HistoryStore::open(f.folder, f.index);
    const ListingRequest request{false, key, 0};
    benchmark::DoNotOptimize(listing_lines(store, select_entries(store, request), request));
  }
}

void BM_StandingColdIndex(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    std::filesystem::remove(f.index);
    const HistoryStore store = HistoryStore::open(f.folder, f.index);
    benchmark::DoNotOptimize(standing_lines(f.current, store, ""));
  }
}

void BM_MachineKey(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(current_machine_key());
}

BENCHMARK(BM_StandingWarmIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingWarmIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StandingColdIndex)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MachineKey)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brisk

BENCHMARK_MAIN();
