#include "app/driver.h"

#include <fmt/format.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/banner.h"
#include "app/compare_command.h"
#include "app/history_command.h"
#include "app/output_watch.h"
#include "app/stability_command.h"
#include "app/timer_report.h"
#include "compare/compare_console.h"
#include "compare/comparison.h"
#include "compare/results_document.h"
#include "harness/harness_runner.h"
#include "history/history_reference.h"
#include "history/history_saver.h"
#include "history/history_store.h"
#include "history/standing.h"
#include "platform/command_line.h"
#include "platform/console_os.h"
#include "results/export_files.h"
#include "results/record_context.h"

namespace brisk {
namespace {

// Exit status of an invocation whose runs were done but whose results did not
// all reach their files or the console.
constexpr int kResultsNotKept = 2;

// A sweep without a single score has nothing to place in the history.
bool has_valid_run(const ResultsDocument& document) {
  for (const DocumentRun& run : document.runs) {
    if (run.valid) return true;
  }
  return false;
}

// Where the comparison that ends a run comes from: resolved before the sweep
// when it can be, so an unreadable file refuses the run instead of wasting it;
// "best" needs the run itself and is resolved after it.
struct CompareTarget {
  std::optional<ComparedFile> base;
  bool after_run = false;
};

std::optional<std::string> resolve_compare_target(const CompareSettings& settings,
                                                  CompareTarget& target) {
  if (!settings.compare_to_given) return std::nullopt;
  if (settings.compare_to == "best") {
    target.after_run = true;
    return std::nullopt;
  }
  ComparedFile base;
  if (auto failure = resolve_results_argument(settings.compare_to, nullptr, base)) return failure;
  target.base = std::move(base);
  return std::nullopt;
}

// The sweep compared with --compare-to; true when --fail-slower tripped.
// A "best" that cannot be found is said on standard error; the run stands.
bool compare_after_run(const CompareSettings& settings, CompareTarget& target,
                       const ResultsDocument& current, const HistoryStore* store, bool& failed) {
  if (!settings.compare_to_given) return false;
  if (target.after_run) {
    ComparedFile base;
    if (auto failure = resolve_results_argument(settings.compare_to, &current, base, store)) {
      std::cerr << *failure << std::endl;
      failed = true;
      return false;
    }
    target.base = std::move(base);
  }
  std::vector<ComparedFile> files;
  files.push_back(std::move(*target.base));
  files.push_back(ComparedFile{"this run", current, !current.finished});
  const double threshold =
      settings.threshold_given ? *parse_percent(settings.threshold) : kDefaultThresholdPercent;
  const Comparison comparison = compare_files(std::move(files), threshold);
  std::cout << std::endl;
  print_comparison(comparison, std::cout);
  return settings.fail_slower_given &&
         significantly_slower(comparison, *parse_percent(settings.fail_slower));
}

// The sweep with its results files and its copy in the history: written
// complete before the first run, rewritten after every run and once more when
// the sweep is over, so that whatever ends the invocation, every finished run
// is in them. The history copy is the user's only if asked for nothing else,
// so a failure to save it warns and never changes the exit status.
int run_sweep(DriverSettings& settings, TopologyHolder& topology,
              const std::vector<std::string>& command_line) {
  CompareTarget compare_target;
  if (auto failure = resolve_compare_target(settings.compare, compare_target)) {
    std::cerr << *failure << std::endl;
    return 1;
  }
  ExportFiles files(settings.exports.targets());
  std::optional<HistorySaver> saver;
  if (!settings.compare.no_save) saver.emplace();
  const harness_settings& h = settings.harness;
  ResultsRecord record =
      start_record(command_line, settings.config, {h.var, h.option_string, h.sub_runs}, topology);
  // The document's text, rendered run by run for the files and the history.
  ResultsText text;
  text.update(record);
  if (const std::optional<std::string> failure = files.write_first(record, text)) {
    std::cerr << *failure << std::endl;
    return 1;
  }
  // An invocation that made no run (no point, or every run refused before
  // its threads started) leaves nothing in the history.
  const auto keep = [&] {
    text.update(record);
    files.update(record, text);
    if (saver && made_a_run(record)) saver->write(text);
  };
  settings.harness.hooks.points_ready = [&](const harness_settings& sweep) {
    for (const harness_run& point : sweep.runs) record.sweep.points.push_back(point.label);
    keep();
  };
  settings.harness.hooks.run_done = [&](const harness_settings& sweep, std::size_t index) {
    const harness_run& point = sweep.runs[index];
    record.runs.push_back(
        RunRecord{index, static_cast<std::uint32_t>(point.results.size()), point.results.back()});
    keep();
  };
  run_harness(settings.harness, settings.config, topology);
  finish_record(record);
  keep();

  const ResultsDocument current = document_from_record(record);
  // The folder is read once, for the standing lines and a comparison with
  // the best saved result.
  const bool placed = has_valid_run(current);
  std::optional<HistoryStore> store;
  if (placed || compare_target.after_run) store = HistoryStore::open_default();
  if (placed) {
    warn_skipped_once(*store);
    const std::string own_file = saver ? saver->file_name() : std::string();
    for (const std::string& line : standing_lines(current, *store, own_file)) {
      std::cout << line << std::endl;
    }
  }
  bool compare_failed = false;
  const bool slower = compare_after_run(settings.compare, compare_target, current,
                                        store ? &*store : nullptr, compare_failed);
  std::cout << "press enter to exit" << std::endl;
  std::cin.get();  // returns at once at end of input
  if (slower) return kSignificantlySlower;
  if (compare_failed) return 1;
  return files.failed() ? kResultsNotKept : 0;
}

// Results files dropped onto brisk.exe: compared like brisk compare does,
// then the window waits like after a run, so the verdict can be read.
int compare_dropped_files(const std::vector<std::string>& files) {
  const int status = run_compare_command(files);
  std::cout << "press enter to exit" << std::endl;
  std::cin.get();
  return status;
}

}  // namespace

int perform_action(const Dispatch& dispatch, DriverSettings& settings, TopologyHolder& topology,
                   const std::vector<std::string>& command_line) {
  switch (dispatch.action) {
    case DriverAction::parse_error:
    case DriverAction::invalid_setting:
    case DriverAction::size_overflow:
    case DriverAction::help: {
      // A rejected command line's message goes to standard error, the help
      // to standard output.
      std::ostream& out = exit_status(dispatch.action) != 0 ? std::cerr : std::cout;
      for (const std::string& line : dispatch.lines) out << line << std::endl;
      break;
    }
    case DriverAction::banner:
      play_fish_banner();
      break;
    case DriverAction::topology_report:
      topology.get().print();
      break;
    case DriverAction::timer_report:
      print_timer_report();
      break;
    case DriverAction::run:
      return run_sweep(settings, topology, command_line);
  }
  return exit_status(dispatch.action);
}

int run_driver(int argc, const char* const* argv) {
  // Errors appear in order with the output around them, and at once.
  std::cerr.tie(&std::cout);
  std::cerr.setf(std::ios::unitbuf);
  std::cin.tie(&std::cout);
  // Before any file is opened, so none can take the place of a closed one.
  std::optional<std::string> output_failure = console_os::claim_closed_standard_streams();
  OutputWatch watch(std::cout);

  // Parsed as the user typed them: on Windows the narrow argv has lost every
  // character outside the ANSI code page, file names included.
  const std::vector<std::string> command_line = command_line_utf8(argc, argv);
  std::vector<const char*> args;
  for (const std::string& arg : command_line) args.push_back(arg.c_str());
  args.push_back(nullptr);

  // "brisk compare ...", "brisk stability ...", "brisk history ...", or
  // results files dropped on
  // the program: commands of their own, before any benchmark option is read.
  const std::vector<std::string> words(command_line.begin() + (command_line.empty() ? 0 : 1),
                                       command_line.end());
  int status = 0;
  if (!words.empty() && words.front() == "compare") {
    status = run_compare_command({words.begin() + 1, words.end()});
  } else if (!words.empty() && words.front() == "stability") {
    TopologyHolder topology;
    status = run_stability_command({words.begin() + 1, words.end()}, command_line, topology);
  } else if (!words.empty() && words.front() == "history") {
    status = run_history_command({words.begin() + 1, words.end()});
  } else if (looks_like_dropped_files(words)) {
    status = compare_dropped_files(words);
  } else {
    DriverSettings settings;
    TopologyHolder topology;
    const Dispatch dispatch =
        choose_action(static_cast<int>(command_line.size()), args.data(), settings);
    status = perform_action(dispatch, settings, topology, command_line);
  }

  std::cout.flush();
  if (!output_failure) output_failure = watch.failure();
  if (output_failure) {
    std::cerr << fmt::format("standard output could not be written: {}", *output_failure)
              << std::endl;
    if (status == 0) status = kResultsNotKept;
  }
  return status;
}

}  // namespace brisk
