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

ExportFiles::ExportFiles(std::vector<ExportTarget> targets) : targets_(std::move(targets)) {
  for (const ExportTarget& target : targets_) {
    const bool grows = target.format == ExportFormat::json || target.format == ExportFormat::html;
    growing_.push_back(grows ? std::make_unique<GrowingFile>(target.path) : nullptr);
  }
}

ExportFiles::ExportFiles(std::vector<ExportTarget> targets, FileWriter writer)
    : targets_(std::move(targets)), writer_(std::move(writer)), growing_(targets_.size()) {}

std::optional<std::string> ExportFiles::write_first(const ResultsRecord& record,
                                                    const ResultsText& text) {
  return write_all(record, text, true);
}

void ExportFiles::update(const ResultsRecord& record, const ResultsText& text) {
  (void)write_all(record, text, false);
}

std::optional<std::string> ExportFiles::write_first(const ResultsRecord& record) {
  own_text_.update(record);
  return write_first(record, own_text_);
}

void ExportFiles::update(const ResultsRecord& record) {
  own_text_.update(record);
  update(record, own_text_);
}

std::optional<std::string> ExportFiles::write_one(std::size_t index, const ResultsRecord& record,
                                                  const ResultsText& text) {
  const ExportTarget& target = targets_[index];
  std::vector<std::string_view> pieces;
  std::uint64_t epoch = 0;
  std::size_t stable = 0;
  std::string whole;
  if (target.format == ExportFormat::json) {
    const auto parts = text.pieces();
    pieces.assign(parts.begin(), parts.end());
    epoch = text.epoch();
    stable = text.stable_bytes();
  } else if (target.format == ExportFormat::html) {
    pieces = page_.pieces();
    epoch = page_.epoch();
    stable = page_.stable_bytes();
  } else {
    whole = render_export(target.format, record);
    pieces.push_back(whole);
  }
  if (growing_[index]) return growing_[index]->write(pieces, epoch, stable);
  if (writer_) return writer_(target.path, joined(pieces));
  return replace_file_atomically(target.path, whole);
}

std::optional<std::string> ExportFiles::write_all(const ResultsRecord& record,
                                                  const ResultsText& text, bool stop_at_failure) {
  bool page_made = false;
  for (std::size_t i = 0; i < targets_.size(); ++i) {
    const ExportTarget& target = targets_[i];
    std::optional<std::string> failure;
    try {
      // Once per update, for however many pages are asked for.
      if (target.format == ExportFormat::html && !page_made) {
        page_.update(text);
        page_made = true;
      }
      failure = write_one(i, record, text);
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
