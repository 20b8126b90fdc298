#include "results/export_files.h"

#include <fmt/format.h>

#include <iostream>
#include <utility>

#include "platform/file_replace.h"
#include "report/html_report.h"
#include "results/csv_writer.h"
#include "results/json_writer.h"
#include "results/markdown_writer.h"

namespace brisk {

std::string render_export(ExportFormat format, const ResultsRecord& record) {
  switch (format) {
    case ExportFormat::json:
      return render_json(record);
    case ExportFormat::csv:
      return render_csv(record);
    case ExportFormat::markdown:
      return render_markdown(record);
    case ExportFormat::html:
      return render_html_report(render_json(record));
  }
  return {};
}

std::optional<std::string> write_whole_file(std::string_view kind, const std::string& path,
                                            const std::function<std::string()>& render) {
  std::optional<std::string> failure;
  try {
    failure = replace_file_atomically(path, render());
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  }
  if (!failure) return std::nullopt;
  return fmt::format("cannot write {} file \"{}\": {}", kind, path, *failure);
}

ExportFiles::ExportFiles(std::vector<ExportTarget> targets)
    : ExportFiles(std::move(targets), replace_file_atomically) {}

ExportFiles::ExportFiles(std::vector<ExportTarget> targets, FileWriter writer)
    : targets_(std::move(targets)), writer_(std::move(writer)) {}

std::optional<std::string> ExportFiles::write_first(const ResultsRecord& record) {
  return write_all(record, true);
}

void ExportFiles::update(const ResultsRecord& record) { (void)write_all(record, false); }

std::optional<std::string> ExportFiles::write_all(const ResultsRecord& record,
                                                  bool stop_at_failure) {
  for (const ExportTarget& target : targets_) {
    std::optional<std::string> failure;
    try {
      failure = writer_(target.path, render_export(target.format, record));
    } catch (const std::bad_alloc&) {
      failure = "out of memory";
    }
    if (!failure) continue;
    if (stop_at_failure) {
      return fmt::format("cannot write results file \"{}\": {}", target.path, *failure);
    }
    failed_ = true;
    std::cerr << fmt::format(
                     "warning: results file \"{}\" not updated ({}); it keeps its last complete "
                     "version",
                     target.path, *failure)
              << std::endl;
  }
  return std::nullopt;
}

}  // namespace brisk
