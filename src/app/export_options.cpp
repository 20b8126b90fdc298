#include "app/export_options.h"

namespace brisk {

using argparse::Option;

std::vector<ExportTarget> ExportSettings::targets() const {
  std::vector<ExportTarget> list;
  if (!json.empty()) list.push_back({ExportFormat::json, json});
  if (!csv.empty()) list.push_back({ExportFormat::csv, csv});
  if (!markdown.empty()) list.push_back({ExportFormat::markdown, markdown});
  if (!html.empty()) list.push_back({ExportFormat::html, html});
  return list;
}

void add_export_options(argparse::Parser& parser, ExportSettings& settings) {
  parser
      .add(Option::value(settings.json, "file")
               .name("--export-json")
               .help_text("Write the runs and the machine to this file as JSON, after every run"))
      .add(Option::value(settings.csv, "file")
               .name("--export-csv")
               .help_text("Write one CSV row per run to this file, after every run"))
      .add(Option::value(settings.markdown, "file")
               .name("--export-markdown")
               .help_text("Write the results table to this file as Markdown, after every run"))
      .add(Option::value(settings.html, "file")
               .name("--export-html")
               .help_text("Write a report page with charts to this file, after every run"));
}

}  // namespace brisk
