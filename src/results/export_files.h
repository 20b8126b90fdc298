// The results files of one invocation. Each is written whole before the first
// run and brought up to date after every run, by atomic replacement, so the
// file on disk is always a complete document holding every finished run,
// whatever stops the invocation. The JSON document and the report page, which
// grow with every run, are kept as text and only their new part is rendered
// and written (GrowingFile); the CSV and Markdown tables are small and
// rewritten whole.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/growing_file.h"
#include "results/report_page_text.h"
#include "results/results_record.h"
#include "results/results_text.h"

namespace brisk {

enum class ExportFormat { json, csv, markdown, html };

struct ExportTarget {
  ExportFormat format = ExportFormat::json;
  std::string path;  // UTF-8
};

// Writes `contents` to `path` completely or not at all; the reason otherwise
// (replace_file_atomically, or a stand-in in tests).
using FileWriter =
    std::function<std::optional<std::string>(const std::string& path, std::string_view contents)>;

class ExportFiles {
 public:
  explicit ExportFiles(std::vector<ExportTarget> targets);
  // Every file written whole through `writer` (tests).
  ExportFiles(std::vector<ExportTarget> targets, FileWriter writer);

  bool empty() const { return targets_.empty(); }

  // Writes every file; stops at the first that cannot be written and returns
  // the line that says which and why.
  // `text` is the record's document, updated since the last call.
  std::optional<std::string> write_first(const ResultsRecord& record, const ResultsText& text);
  // Rewrites every file; a file that cannot be written gets a warning line on
  // standard error, keeps its last complete version and is tried again next
  // time.
  void update(const ResultsRecord& record, const ResultsText& text);
  // The same with a document text of its own.
  std::optional<std::string> write_first(const ResultsRecord& record);
  void update(const ResultsRecord& record);
  // Whether any update failed.
  bool failed() const { return failed_; }

 private:
  std::optional<std::string> write_all(const ResultsRecord& record, const ResultsText& text,
                                       bool stop_at_failure);
  std::optional<std::string> write_one(std::size_t target, const ResultsRecord& record,
                                       const ResultsText& text);

  std::vector<ExportTarget> targets_;
  FileWriter writer_;                                  // empty: real files
  std::vector<std::unique_ptr<GrowingFile>> growing_;  // per target; the JSON and HTML ones
  ReportPageText page_;
  ResultsText own_text_;
  bool failed_ = false;
};

// Writes what `render` makes to `path`, completely or not at all. When it
// cannot, returns the line for standard error:
//   cannot write <kind> file "<path>": <reason>
std::optional<std::string> write_whole_file(std::string_view kind, const std::string& path,
                                            const std::function<std::string()>& render);

// The contents of a results file in `format`.
std::string render_export(ExportFormat format, const ResultsRecord& record);

}  // namespace brisk
