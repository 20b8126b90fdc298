#include "history/history_saver.h"

#include <fmt/format.h>

#include <iostream>
#include <new>
#include <utility>

#include "history/history_paths.h"
#include "platform/user_folders.h"

namespace brisk {

HistorySaver::HistorySaver() : HistorySaver(results_folder().value_or(std::string()), nullptr) {
  if (!folder_.empty()) growing_ = std::make_unique<GrowingFile>(join_path(folder_, file_name_));
}

HistorySaver::HistorySaver(std::string folder, FileWriter writer)
    : folder_(std::move(folder)),
      file_name_(history_file_name(unix_time_now(), random_name_part())),
      writer_(std::move(writer)) {}

void HistorySaver::write(const ResultsRecord& record) {
  own_text_.update(record);
  write(own_text_);
}

void HistorySaver::write(const ResultsText& text) {
  const std::optional<std::string> failure = try_write(text);
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

std::optional<std::string> HistorySaver::try_write(const ResultsText& text) {
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
    const auto pieces = text.pieces();
    failure = growing_ ? growing_->write(pieces, text.epoch(), text.stable_bytes())
                       : writer_(join_path(folder_, file_name_), joined(pieces));
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
