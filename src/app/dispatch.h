// Choosing what one invocation does: parse the command line, validate it and
// pick exactly one action, without performing it.
#pragma once

#include <string>
#include <vector>

#include "app/compare_options.h"
#include "app/export_options.h"
#include "app/mode_flags.h"
#include "bench/bench_config.h"
#include "harness/harness_settings.h"

namespace brisk {

// The actions in the order they are tried; the first that applies wins.
enum class DriverAction {
  parse_error,      // the parser rejected the command line
  banner,           // "--brisk"
  invalid_setting,  // grid size, workload or ISA not allowed
  help,             // usage text and grid-size table
  topology_report,  // "--topo-debug"
  timer_report,     // "--timer-debug"
  size_overflow,    // the grid size would overflow a size computation
  run,              // the benchmark through the harness
};

// Everything the command line fills; built with its defaults.
struct DriverSettings {
  BenchConfig config;
  harness_settings harness;
  ModeFlags modes;
  ExportSettings exports;
  CompareSettings compare;
};

struct Dispatch {
  DriverAction action = DriverAction::run;
  // The message for standard error (parse_error, invalid_setting,
  // size_overflow) or the help lines for standard output; otherwise empty.
  std::vector<std::string> lines;
};

// 1 when the command line is rejected, 0 for every other action.
int exit_status(DriverAction action);

// Parses argv into `settings` (which must hold its defaults, as they are
// listed in the help) and decides the action. Prints nothing.
Dispatch choose_action(int argc, const char* const* argv, DriverSettings& settings);

}  // namespace brisk
