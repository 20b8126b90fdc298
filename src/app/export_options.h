// The options that keep an invocation's results in files: one per format,
// listed after the harness options.
#pragma once

#include <string>
#include <vector>

#include "argparse/parser.h"
#include "results/export_files.h"

namespace brisk {

// The file of each format; empty when not asked for.
struct ExportSettings {
  std::string json;
  std::string csv;
  std::string markdown;
  std::string html;

  // The files asked for, in the order above.
  std::vector<ExportTarget> targets() const;
};

// Appends "--export-json", "--export-csv", "--export-markdown" and
// "--export-html", bound to `settings`.
void add_export_options(argparse::Parser& parser, ExportSettings& settings);

}  // namespace brisk
