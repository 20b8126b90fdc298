// The options that keep an invocation's results in files: one per format,
// listed after the harness options.
#pragma once

#include <optional>
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
  // Which options were given, an empty name included.
  bool json_given = false;
  bool csv_given = false;
  bool markdown_given = false;
  bool html_given = false;

  // The files asked for, in the order above.
  std::vector<ExportTarget> targets() const;
  // An empty file name, or one file named for two formats (each rewrite
  // would destroy the other's contents): the line for standard error.
  std::optional<std::string> validate() const;
};

// Appends "--export-json", "--export-csv", "--export-markdown" and
// "--export-html", bound to `settings`.
void add_export_options(argparse::Parser& parser, ExportSettings& settings);

}  // namespace brisk
