// The results of a 384-core server's default threads sweep (1 to 383
// threads, 3 sub-runs of 30 s each), built from brisk's own records: the
// JSON file's size, the time to write it, the pause between the last two
// runs with the JSON file, the report page and the history's copy all kept
// up to date, and the time and peak memory of brisk compare on two such
// files. Beside each figure the same for the indented layout that every
// file was rewritten in whole after each run before.
//
//   brisk_big_sweep_bench [--dir=DIR] [--cores=N]
//
// The files stay in DIR (default: a folder in the temporary directory), for
// timing brisk compare on them with /usr/bin/time (the commands are printed):
// a child's peak memory measured from here would count this program's.
#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "platform/growing_file.h"
#include "report/html_report.h"
#include "results/compact_json.h"
#include "results/export_files.h"
#include "results/json_writer.h"
#include "results/results_text.h"

namespace brisk {
namespace {

constexpr std::uint32_t kSubRuns = 3;
constexpr std::uint32_t kSeconds = 30;
constexpr std::uint64_t kUpdatesPerStep = 64ull * 64 * 64;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One run of `threads` threads: each second's steps near 570 per thread,
// MGups as the timeline makes them (whole updates over 1e6).
RunOutcome run_of(std::uint32_t threads, std::mt19937& random) {
  std::uniform_int_distribution<int> steps(540, 600);
  RunOutcome o;
  o.valid = true;
  o.workers_started = true;
  o.settings = {threads, kSeconds, 64, "os", "standing_wave", "avx2", false, "ordinary"};
  o.init_ms = 40;
  o.huge_percent = 0.0;
  o.timeline.mgups.assign(kSeconds, 0.0);
  for (std::uint32_t t = 0; t < threads; ++t) {
    std::vector<double> seconds(kSeconds);
    std::uint64_t total_steps = 0;
    for (std::uint32_t s = 0; s < kSeconds; ++s) {
      const std::uint64_t n = static_cast<std::uint64_t>(steps(random));
      total_steps += n;
      seconds[s] = static_cast<double>(n * kUpdatesPerStep) / 1e6;
      o.timeline.mgups[s] += seconds[s];
    }
    o.timeline.threads.push_back(std::move(seconds));
    ThreadOutcome thread;
    thread.result = {t, 30000 + t % 7, 30000000 + 37 * t, total_steps,
                     total_steps * kUpdatesPerStep};
    thread.mgups = static_cast<double>(thread.result.updates) / thread.result.fast_us;
    o.score += thread.mgups;
    o.threads.push_back(thread);
  }
  o.conditions.other_load_percent = 0.4;
  o.conditions.on_processor_percent = 99.1;
  return o;
}

ResultsRecord sweep_record(std::uint32_t cores) {
  ResultsRecord record;
  record.build = {"1.2.0", "GNU 12.2.0", "x86_64-linux-gnu"};
  record.command_line = {"brisk", "--harness-var", "threads", "-s",
                         "64",    "--export-json", "big.json"};
  record.start_time = "2026-12-11T16:00:00Z";
  record.machine.cpu = {"Big Server CPU", "amd", 26, 17, 0, {"sse2", "avx", "avx2", "fma"}, false};
  record.machine.topology = {2, 2, cores, cores * 2};
  record.machine.os.family = "linux";
  record.timers = {"TSC", 1000000000, 250, true, false};
  record.settings.size = 64;
  record.settings.duration = kSeconds;
  record.sweep = {"threads", "", kSubRuns, {}};
  std::mt19937 random(7);
  for (std::uint32_t threads = 1; threads < cores; ++threads) {
    record.sweep.points.push_back(std::to_string(threads));
    for (std::uint32_t sub = 1; sub <= kSubRuns; ++sub) {
      record.runs.push_back(RunRecord{threads - 1, sub, run_of(threads, random)});
    }
  }
  return record;
}

// The bytes a measured clock adds: per second the mean over threads and
// each thread's, in integer MHz, laid out as the rest of the timeline.
std::size_t clock_bytes(const ResultsRecord& record) {
  std::size_t bytes = 0;
  for (const RunRecord& run : record.runs) {
    const std::uint32_t threads = run.outcome.settings.threads;
    nlohmann::ordered_json per_thread = nlohmann::ordered_json::array();
    for (std::uint32_t t = 0; t < threads; ++t) {
      per_thread.push_back(std::vector<int>(kSeconds, 4192 + static_cast<int>(t % 40)));
    }
    const nlohmann::ordered_json clock{{"clock_mhz", std::vector<int>(kSeconds, 4190)},
                                       {"threads_clock_mhz", std::move(per_thread)}};
    std::string text;
    append_compact_json(text, clock, 3);
    bytes += text.size();  // about what the two members add inside the timeline
  }
  return bytes;
}

std::string option(int argc, char** argv, std::string_view name, std::string fallback) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=') {
      return std::string(arg.substr(name.size() + 1));
    }
  }
  return fallback;
}

int run(int argc, char** argv) {
  const std::filesystem::path dir = option(
      argc, argv, "--dir", (std::filesystem::temp_directory_path() / "brisk-big-sweep").string());
  const auto cores = static_cast<std::uint32_t>(std::stoul(option(argc, argv, "--cores", "384")));
  std::filesystem::create_directories(dir);
  ResultsRecord record = sweep_record(cores);
  std::uint64_t thread_seconds = 0;
  for (const RunRecord& run : record.runs)
    thread_seconds += run.outcome.settings.threads * kSeconds;
  fmt::print("{} runs, {} thread-seconds\n", record.runs.size(), thread_seconds);

  auto start = std::chrono::steady_clock::now();
  const std::string compact = render_json(record);
  const double render_compact = seconds_since(start);
  const nlohmann::ordered_json tree = nlohmann::ordered_json::parse(compact);
  start = std::chrono::steady_clock::now();
  const std::string indented = tree.dump(2) + "\n";
  const double render_indented = seconds_since(start);
  const std::size_t clock = clock_bytes(record);
  fmt::print(
      "file size: compact {} bytes ({:.1f} B per thread-second), with the clock {:.1f}; "
      "indented {} bytes ({:.1f})\n",
      compact.size(), double(compact.size()) / thread_seconds,
      double(compact.size() + clock) / thread_seconds, indented.size(),
      double(indented.size()) / thread_seconds);
  fmt::print("render whole: compact {:.2f} s, indented (dump only) {:.2f} s\n", render_compact,
             render_indented);

  const std::string a = (dir / "a.json").string();
  const std::string b = (dir / "b.json").string();
  const std::string old_a = (dir / "old_a.json").string();
  const std::string old_b = (dir / "old_b.json").string();
  start = std::chrono::steady_clock::now();
  (void)replace_file_atomically(a, compact);
  fmt::print("write whole compact file (with fsync): {:.2f} s\n", seconds_since(start));
  (void)replace_file_atomically(b, compact);
  start = std::chrono::steady_clock::now();
  (void)replace_file_atomically(old_a, indented);
  fmt::print("write whole indented file (with fsync): {:.2f} s\n", seconds_since(start));
  (void)replace_file_atomically(old_b, indented);

  // The pause: the last run arrives with the JSON file, the page and the
  // history's copy open since the sweep's start.
  const std::vector<RunRecord> runs = std::move(record.runs);
  record.runs.assign(runs.begin(), runs.end() - 3);
  ResultsText text;
  ExportFiles files({{ExportFormat::json, (dir / "sweep.json").string()},
                     {ExportFormat::html, (dir / "sweep.html").string()}});
  GrowingFile saved((dir / "saved.json").string());
  const auto keep = [&] {
    text.update(record);
    files.update(record, text);
    const auto pieces = text.pieces();
    (void)saved.write(pieces, text.epoch(), text.stable_bytes());
  };
  keep();
  for (std::size_t i = runs.size() - 3; i < runs.size(); ++i) {
    record.runs.push_back(runs[i]);
    start = std::chrono::steady_clock::now();
    keep();
    fmt::print("keep after run {}: {:.3f} s\n", i + 1, seconds_since(start));
  }
  record.finished = true;
  record.end_time = "2026-12-14T00:00:00Z";
  start = std::chrono::steady_clock::now();
  keep();
  fmt::print("keep after the sweep ended (end time in the head): {:.2f} s\n", seconds_since(start));

  // Before: every file rendered and written whole after each run.
  start = std::chrono::steady_clock::now();
  const std::string redone = tree.dump(2) + "\n";
  (void)replace_file_atomically((dir / "old_sweep.json").string(), redone);
  (void)replace_file_atomically((dir / "old_sweep.html").string(), render_html_report(redone));
  (void)replace_file_atomically((dir / "old_saved.json").string(), tree.dump(2) + "\n");
  fmt::print("whole rewrite of the three files, indented: {:.2f} s\n", seconds_since(start));

  fmt::print(
      "brisk compare's time and peak memory, two files of each layout:\n"
      "  /usr/bin/time -f \"%e s %M KiB\" brisk compare {} {}\n"
      "  /usr/bin/time -f \"%e s %M KiB\" brisk compare {} {}\n",
      a, b, old_a, old_b);
  return 0;
}

}  // namespace
}  // namespace brisk

int main(int argc, char** argv) { return brisk::run(argc, argv); }
