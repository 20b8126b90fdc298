#include "app/stability_command.h"

#include <fmt/format.h>

#include <iostream>
#include <optional>

#include "app/stability_table.h"
#include "app/validation.h"
#include "argparse/parser.h"
#include "bench/bench_config.h"
#include "bench/stability.h"
#include "bench/stability_core_run.h"
#include "bench/thread_count.h"
#include "memory/field_allocator.h"
#include "platform/cpu_info.h"
#include "platform/package_count.h"
#include "results/console_text.h"
#include "results/export_files.h"
#include "results/record_context.h"
#include "solver/workload_factory.h"

namespace brisk {
namespace {

constexpr int kUsage = 1;
constexpr int kFileNotWritten = 2;
constexpr std::uint32_t kDefaultSeconds = 10;
constexpr std::uint32_t kDefaultRounds = 2;
constexpr std::uint32_t kMaxRounds = 1000;

struct StabilityRequest {
  BenchConfig config;  // duration, size and isa as for a run
  std::uint32_t rounds = kDefaultRounds;
  std::string json;
  std::string html;
  bool json_given = false;
  bool html_given = false;
  bool help = false;

  std::vector<ExportTarget> targets() const {
    std::vector<ExportTarget> files;
    if (json_given) files.push_back({ExportFormat::json, json});
    if (html_given) files.push_back({ExportFormat::html, html});
    return files;
  }
};

argparse::Parser stability_parser(StabilityRequest& request) {
  using argparse::Option;
  argparse::Parser parser;
  BenchConfig& c = request.config;
  parser.add(Option::help(request.help))
      .add(Option::value(c.duration, "seconds")
               .name("-d")
               .name("--duration")
               .help_text(fmt::format("Seconds per logical processor and round, {}-{} (default {})",
                                      kMinDuration, kMaxDuration, kDefaultSeconds)))
      .add(Option::value(c.size, "size")
               .name("-s")
               .name("--size")
               .help_text(fmt::format("Grid size, one of [{}]", kGridSizeList)))
      .add(Option::value(c.isa, "isa")
               .name("--isa")
               .help_text(fmt::format("Instruction set to use for workload/solver, one of [{}]",
                                      kIsaList)))
      .add(Option::value(request.rounds, "rounds")
               .name("--rounds")
               .help_text(fmt::format("Times every logical processor is checked, 1-{} (default {})",
                                      kMaxRounds, kDefaultRounds)))
      .add(Option::value(request.json, "file")
               .name("--export-json")
               .record_given(request.json_given)
               .help_text("Write the table as a results document"))
      .add(Option::value(request.html, "file")
               .name("--export-html")
               .record_given(request.html_given)
               .help_text("Write the table as a report page, one bar per logical processor"));
  return parser;
}

std::optional<std::string> parse_request(const std::vector<std::string>& args,
                                         StabilityRequest& request) {
  request.config.duration = kDefaultSeconds;
  const argparse::ParseResult parsed = stability_parser(request).parse(args);
  if (!parsed.ok()) return *parsed.error;
  if (request.help) return std::nullopt;
  if (auto failure = validate_settings(request.config)) return failure;
  if (auto failure = check_size_overflow(request.config.size)) return failure;
  if (request.rounds < 1 || request.rounds > kMaxRounds) {
    return fmt::format("--rounds: {} is not from 1 to {}", request.rounds, kMaxRounds);
  }
  if ((request.json_given && request.json.empty()) ||
      (request.html_given && request.html.empty())) {
    return "the results file name is empty";
  }
  if (request.json_given && request.html_given && request.json == request.html) {
    return "--export-json and --export-html name the same file";
  }
  return std::nullopt;
}

// 4 before everything: a wrong value is what the check is for.
int exit_status(const std::vector<StabilityRow>& rows, bool files_failed) {
  if (any_wrong_value(rows)) return kWrongValueComputed;
  if (any_other_failure(rows)) return kUsage;
  return files_failed ? kFileNotWritten : 0;
}

}  // namespace

int run_stability_command(const std::vector<std::string>& args,
                          const std::vector<std::string>& command_line, TopologyHolder& topology) {
  return run_stability_command(args, command_line, topology, default_run_seams());
}

int run_stability_command(const std::vector<std::string>& args,
                          const std::vector<std::string>& command_line, TopologyHolder& topology,
                          const RunSeams& seams) {
  StabilityRequest request;
  if (auto failure = parse_request(args, request)) {
    std::cerr << console_safe(*failure) << std::endl;
    return kUsage;
  }
  if (request.help) {
    for (const std::string& line : stability_help_lines()) std::cout << line << std::endl;
    return 0;
  }
  BenchConfig& config = request.config;
  config.duration = clamp_duration(config.duration);
  config.numthreads = 1;
  // As a run does: CPUID may under-report, so only an instruction set the
  // processor cannot execute refuses the check.
  if (auto missing = seams.check_isa(config.isa)) {
    std::cerr << *missing << std::flush;
    if (!seams.probe_isa(config.isa)) {
      std::cerr << fmt::format("the processor cannot execute {} instructions; aborting", config.isa)
                << std::endl;
      return kUsage;
    }
  }
  ExportFiles files(request.targets());
  ResultsRecord record = start_record(command_line, config, {"none", "", 0}, topology);
  record.stability = StabilityRecord{request.rounds, {}};
  if (auto failure = files.write_first(record)) {
    std::cerr << *failure << std::endl;
    return kUsage;
  }

  const std::vector<StabilityTarget> targets = stability_targets(topology.get(), package_of);
  std::cout << fmt::format(
                   "brisk stability: standing_wave {}, grid {}, {}s per logical processor, {} of "
                   "{} logical processors, whole grid compared bit for bit",
                   config.isa, config.size, config.duration,
                   request.rounds == 1 ? "1 round" : fmt::format("{} rounds", request.rounds),
                   targets.size())
            << std::endl;
  std::cout << read_brand_string() << std::endl;
  const FieldAllocator allocator{false};
  const StabilityParams params{allocator, config.isa, config.size, config.duration, seams};
  const std::vector<StabilityRow> rows = run_stability(
      targets, request.rounds,
      [&](const StabilityTarget& target, std::uint32_t) { return run_core_round(params, target); },
      [&](const StabilityTarget& target, std::uint32_t round, const CoreRound& result) {
        std::cout << stability_round_line(target, round, request.rounds, result) << std::endl;
      });
  std::cout << std::endl;
  for (const std::string& line : stability_table_lines(rows)) std::cout << line << std::endl;

  record.stability->rows = rows;
  finish_record(record);
  files.update(record);
  return exit_status(rows, files.failed());
}

std::vector<std::string> stability_help_lines() {
  return {
      "  stability [-d <seconds>] [-s <size>] [--isa <isa>] [--rounds <n>]",
      "          [--export-json <file>] [--export-html <file>]",
      "                          One benchmark thread on one logical processor at a time, every",
      "                          processor of the topology in turn (both hardware threads of a",
      "                          core), standing_wave with its whole grid compared bit for bit;",
      "                          goes on after a failure. Defaults: 10 s per processor, 2 rounds,",
      "                          grid 192, sse2. A table with the MGups of each processor, slow",
      "                          ones (more than 10% below the median) marked, and \"ok\" or the",
      "                          wrong values it computed. Exit status 4 when a processor",
      "                          computed a wrong value.",
  };
}

}  // namespace brisk
