#include "app/options.h"

#include <fmt/format.h>

#include "harness/harness_options.h"

namespace brisk {

using argparse::Option;

void add_driver_options(argparse::Parser& parser, BenchConfig& config, ModeFlags& modes) {
  parser.add(Option::help(modes.help))
      .add(Option::value(config.numthreads, "numthreads")
               .name("-n")
               .name("--numthreads")
               .help_text("Number of threads to use"))
      .add(Option::value(config.duration, "duration")
               .name("-d")
               .name("--duration")
               .help_text(
                   fmt::format("Bench duration (s) between {}-{}s", kMinDuration, kMaxDuration)))
      .add(Option::value(config.size, "size")
               .name("-s")
               .name("--size")
               .help_text(fmt::format("Grid size, one of [{}]", kGridSizeList)))
      .add(Option::value(config.workload, "workload")
               .name("--workload")
               .help_text(fmt::format("Workload to use (results with different workloads "
                                      "aren't comparable), one of [{}]",
                                      kWorkloadList)))
      .add(Option::value(config.isa, "isa")
               .name("--isa")
               .help_text(fmt::format("Instruction set to use for workload/solver, one of [{}]",
                                      kIsaList)))
      .add(Option::flag(config.strict_isa_check)
               .name("--strict-isa-check")
               .help_text("Don't try to run if the ISA support check fails"))
      .add(Option::value(config.threading, "threading")
               .name("--threading")
               .choices({"os", "numa", "phte"})
               .help_text("Threading manager to use"))
      .add(Option::flag(config.large_pages)
               .name("--large-pages")
               .help_text("Use large pages allocator"))
      .add(Option::flag(config.bypass_timer_check)
               .name("--bypass-timer-check")
               .help_text("Run the bench even if the timer is not HWBOT compliant"))
      .add(Option::flag(modes.topo_debug)
               .name("--topo-debug")
               .help_text("Print detected topology for debug"))
      .add(Option::flag(modes.timer_debug)
               .name("--timer-debug")
               .help_text("Printed detected timers"))
      .add(Option::flag(modes.brisk).name("--brisk"));
}

argparse::Parser build_parser(BenchConfig& config, harness_settings& harness, ModeFlags& modes,
                              ExportSettings& exports, CompareSettings& compare) {
  argparse::Parser parser;
  add_driver_options(parser, config, modes);
  add_harness_options(parser, harness);
  add_export_options(parser, exports);
  add_compare_options(parser, compare);
  return parser;
}

}  // namespace brisk
