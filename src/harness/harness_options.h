// The harness's three command-line options.
#pragma once

#include "argparse/parser.h"
#include "harness/harness_settings.h"

namespace brisk {

// Appends "--harness-var", "--harness-sub-runs" and "--harness-opt", bound to
// `settings`, whose current values become the listed defaults.
void add_harness_options(argparse::Parser& parser, harness_settings& settings);

}  // namespace brisk
