#include "app/driver.h"

#include <fmt/format.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/banner.h"
#include "app/output_watch.h"
#include "app/timer_report.h"
#include "harness/harness_runner.h"
#include "platform/command_line.h"
#include "platform/console_os.h"
#include "results/export_files.h"
#include "results/record_context.h"

namespace brisk {
namespace {

// Exit status of an invocation whose runs were done but whose results did not
// all reach their files or the console.
constexpr int kResultsNotKept = 2;

// The sweep with its results files: written complete before the first run,
// rewritten after every run and once more when the sweep is over, so that
// whatever ends the invocation, every finished run is in them.
int run_sweep(DriverSettings& settings, TopologyHolder& topology,
              const std::vector<std::string>& command_line) {
  ExportFiles files(settings.exports.targets());
  std::optional<ResultsRecord> record;
  if (!files.empty()) {
    const harness_settings& h = settings.harness;
    record =
        start_record(command_line, settings.config, {h.var, h.option_string, h.sub_runs}, topology);
    if (const std::optional<std::string> failure = files.write_first(*record)) {
      std::cerr << *failure << std::endl;
      return 1;
    }
    settings.harness.hooks.points_ready = [&](const harness_settings& sweep) {
      for (const harness_run& point : sweep.runs) record->sweep.points.push_back(point.label);
      files.update(*record);
    };
    settings.harness.hooks.run_done = [&](const harness_settings& sweep, std::size_t index) {
      const harness_run& point = sweep.runs[index];
      record->runs.push_back(
          RunRecord{index, static_cast<std::uint32_t>(point.results.size()), point.results.back()});
      files.update(*record);
    };
  }
  run_harness(settings.harness, settings.config, topology);
  if (record) {
    finish_record(*record);
    files.update(*record);
  }
  std::cout << "press enter to exit" << std::endl;
  std::cin.get();  // returns at once at end of input
  return files.failed() ? kResultsNotKept : 0;
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

  DriverSettings settings;
  TopologyHolder topology;
  const Dispatch dispatch =
      choose_action(static_cast<int>(command_line.size()), args.data(), settings);
  int status = perform_action(dispatch, settings, topology, command_line);

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
