// The results folder read as a history: every document's summary, newest
// first, taken from the index where the file is unchanged and from the file
// itself otherwise. Nothing in the folder is ever written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "history/history_entry.h"

namespace brisk {

class HistoryStore {
 public:
  // Reads `folder`, refreshing the index at `index_path` (none: read every
  // document). A folder that does not exist is an empty history.
  static HistoryStore open(const std::string& folder, const std::optional<std::string>& index_path);
  // The same for the results folder (results_folder()) and its cached index;
  // an empty store with an empty folder() when there is no folder at all.
  static HistoryStore open_default();

  const std::string& folder() const { return folder_; }
  // Every *.json file of the folder, newest first (by name), skipped ones
  // included with their reasons.
  const std::vector<HistoryEntry>& entries() const { return entries_; }
  // How many entries were skipped as not readable brisk results.
  std::size_t skipped_count() const;
  // Why the folder could not be listed (it exists but cannot be read).
  const std::optional<std::string>& folder_error() const { return folder_error_; }
  // The path of an entry's file.
  std::string path_of(const HistoryEntry& entry) const;

 private:
  std::string path_of_name(const std::string& name) const;

  std::string folder_;
  std::vector<HistoryEntry> entries_;
  std::optional<std::string> folder_error_;
};

// The line warning about skipped files, or nothing when there are none:
//   warning: skipped 2 files in "<folder>" that are not readable brisk results
std::optional<std::string> skipped_warning(const HistoryStore& store);
// Prints skipped_warning on standard error, at most once per process.
void warn_skipped_once(const HistoryStore& store);

// The key of the machine brisk runs on now, as machine_key gives it for a
// document made here.
std::string current_machine_key();

}  // namespace brisk
