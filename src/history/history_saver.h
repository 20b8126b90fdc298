// Keeping an invocation's results document in the results folder: one file
// per invocation, named so names sort by time and never collide, brought up
// to date after every run (only what changed is written: GrowingFile).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/growing_file.h"
#include "results/export_files.h"
#include "results/results_record.h"
#include "results/results_text.h"

namespace brisk {

class HistorySaver {
 public:
  // Saving for this invocation: the folder (BRISK_RESULTS_DIR, else the
  // per-user default) and a fresh unique file name, decided now; prints
  // nothing.
  HistorySaver();
  // The same in `folder`, every write whole through `writer` (tests); an
  // empty folder means there is none.
  HistorySaver(std::string folder, FileWriter writer);

  // Writes the whole document (render_json(record)); the folder is made on
  // the first write. A failure prints ONE warning line per invocation on
  // standard error (warning: results not saved in "<folder>": <reason>) and
  // is tried again at the next write; it never changes the exit status.
  void write(const ResultsRecord& record);
  // The same with the record's document text, updated since the last call.
  void write(const ResultsText& text);

  // The file once a write succeeded.
  std::optional<std::string> path() const;
  // The folder the file goes to; empty when there is none (no home).
  const std::string& folder() const { return folder_; }
  // The file's name (not yet written until path() says so).
  const std::string& file_name() const { return file_name_; }

 private:
  std::optional<std::string> try_write(const ResultsText& text);

  std::string folder_;
  std::string file_name_;
  FileWriter writer_;                     // empty: through growing_
  std::unique_ptr<GrowingFile> growing_;  // the real file
  ResultsText own_text_;
  bool folder_made_ = false;
  bool written_ = false;
  bool warned_ = false;
};

}  // namespace brisk
