#include "history/history_saver.h"

#include <fmt/format.h>

#include <iostream>
#include <new>
#include <utility>

#include "history/history_paths.h"
#include "platform/file_replace.h"
#include "platform/user_folders.h"
#include "results/json_writer.h"

namespace brisk {

HistorySaver::HistorySaver()
    : HistorySaver(results_folder().value_or(std::string()), replace_file_atomically) {}

HistorySaver::HistorySaver(std::string folder, FileWriter writer)
    : folder_(std::move(folder)),
      file_name_(history_file_name(unix_time_now(), random_name_part())),
      writer_(std::move(writer)) {}

void HistorySaver::write(const ResultsRecord& record) {
  const std::optional<std::string> failure = try_write(record);
  if (!failure) {
    written_ = true;
    return;
  }
  if (warned_) return;
  warned_ = true;
  if (folder_.empty()) {
    std::cerr << "warning: results not saved: " << *failure << std::endl;
  } else {
    std::cerr << fmt::format("warning: results not saved in \"{}\": {}", folder_, *failure)
              << std::endl;
  }
}

std::optional<std::string> HistorySaver::try_write(const ResultsRecord& record) {
  if (folder_.empty()) {
    return std::string(
        "no per-user folder to keep them in (HOME is not set); BRISK_RESULTS_DIR names one");
  }
  // Made again after a failure: the folder may have been fixed meanwhile.
  if (!folder_made_) {
    if (auto failure = make_folders(folder_)) return failure;
    folder_made_ = true;
  }
  std::optional<std::string> failure;
  try {
    failure = writer_(join_path(folder_, file_name_), render_json(record));
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  }
  // The folder may have gone meanwhile: make it again next time.
  if (failure) folder_made_ = false;
  return failure;
}

std::optional<std::string> HistorySaver::path() const {
  if (!written_) return std::nullopt;
  return join_path(folder_, file_name_);
}

}  // namespace brisk
