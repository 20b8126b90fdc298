// The command line of brisk: the driver's thirteen options followed by the
// harness's three, bound to the settings they fill.
#pragma once

#include "app/compare_options.h"
#include "app/export_options.h"
#include "app/mode_flags.h"
#include "argparse/parser.h"
#include "bench/bench_config.h"
#include "harness/harness_settings.h"

namespace brisk {

// Appends the driver's options in listing order: help, -n, -d, -s,
// --workload, --isa, --strict-isa-check, --threading, --large-pages,
// --bypass-timer-check, --topo-debug, --timer-debug, --brisk. The current
// field values become the listed defaults.
void add_driver_options(argparse::Parser& parser, BenchConfig& config, ModeFlags& modes);

// The full parser: the driver's options, the harness options, the results
// files, then the history and comparison options.
argparse::Parser build_parser(BenchConfig& config, harness_settings& harness, ModeFlags& modes,
                              ExportSettings& exports, CompareSettings& compare);

}  // namespace brisk
