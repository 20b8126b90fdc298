#include "harness/harness_options.h"

namespace brisk {

using argparse::Option;

void add_harness_options(argparse::Parser& parser, harness_settings& settings) {
  parser
      .add(Option::value(settings.var, "var")
               .name("--harness-var")
               .choices({"none", "size", "duration", "threads", "isa"})
               .help_text("Variable for the harness to test over"))
      .add(Option::value(settings.sub_runs, "harness-sub-runs")
               .name("--harness-sub-runs")
               .help_text("How many times to run the benchmark for each parameter sweep point"))
      .add(Option::value(settings.option_string, "harness-option-string")
               .name("--harness-opt")
               .help_text("String parsed by selected variable to specify scope if supported"));
}

}  // namespace brisk
