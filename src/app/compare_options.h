// The options of a run that end it with a comparison or keep it out of the
// history, listed after the results-file options.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "argparse/parser.h"

namespace brisk {

struct CompareSettings {
  bool no_save = false;     // "--no-save": keep nothing in the history folder
  std::string compare_to;   // "--compare-to": a results file or a history reference
  std::string threshold;    // "--threshold" as typed; empty: the default
  std::string fail_slower;  // "--fail-slower" as typed; empty: not asked for
  bool threshold_given = false;
  bool fail_slower_given = false;
  bool compare_to_given = false;
};

// A percentage as typed for --threshold or --fail-slower: a plain decimal
// number from 0 to 1000 ("2", "0.5"); none for anything else.
std::optional<double> parse_percent(std::string_view text);

// Checks the values of --threshold and --fail-slower and that they come with
// a comparison; the line for standard error otherwise.
std::optional<std::string> validate_compare_settings(const CompareSettings& settings,
                                                     bool comparing);

// Appends "--no-save", "--compare-to", "--threshold" and "--fail-slower".
void add_compare_options(argparse::Parser& parser, CompareSettings& settings);

}  // namespace brisk
