#include "app/export_options.h"

#include <fmt/format.h>

#include <filesystem>
#include <tuple>

namespace brisk {

using argparse::Option;

namespace {

// Two spellings of one file ("r.json", "./r.json", "dir/../r.json") are one
// file; on Windows letter case does not tell files apart either.
bool same_file_name(const std::string& a, const std::string& b) {
  if (a == b) return true;
  namespace fs = std::filesystem;
  std::error_code error;
  const auto normal = [&](const std::string& name) {
    const fs::path path(std::u8string(name.begin(), name.end()));
    fs::path absolute = fs::absolute(path, error);
    if (error) absolute = path;
    std::u8string text = absolute.lexically_normal().generic_u8string();
#ifdef _WIN32
    for (char8_t& c : text) {
      if (c >= u8'A' && c <= u8'Z') c = static_cast<char8_t>(c - u8'A' + u8'a');
    }
#endif
    return text;
  };
  return normal(a) == normal(b);
}

}  // namespace

std::vector<ExportTarget> ExportSettings::targets() const {
  std::vector<ExportTarget> list;
  if (!json.empty()) list.push_back({ExportFormat::json, json});
  if (!csv.empty()) list.push_back({ExportFormat::csv, csv});
  if (!markdown.empty()) list.push_back({ExportFormat::markdown, markdown});
  if (!html.empty()) list.push_back({ExportFormat::html, html});
  return list;
}

std::optional<std::string> ExportSettings::validate() const {
  const std::tuple<const char*, const std::string*, bool> options[] = {
      {"--export-json", &json, json_given},
      {"--export-csv", &csv, csv_given},
      {"--export-markdown", &markdown, markdown_given},
      {"--export-html", &html, html_given}};
  for (const auto& [name, path, given] : options) {
    if (given && path->empty()) return fmt::format("{}: the file name is empty", name);
  }
  for (std::size_t i = 0; i < std::size(options); ++i) {
    for (std::size_t j = i + 1; j < std::size(options); ++j) {
      const std::string& a = *std::get<1>(options[i]);
      const std::string& b = *std::get<1>(options[j]);
      if (!a.empty() && same_file_name(a, b)) {
        return fmt::format("{} and {} name the same file \"{}\"; give each format its own file",
                           std::get<0>(options[i]), std::get<0>(options[j]), a);
      }
    }
  }
  return std::nullopt;
}

void add_export_options(argparse::Parser& parser, ExportSettings& settings) {
  parser
      .add(Option::value(settings.json, "file")
               .name("--export-json")
               .record_given(settings.json_given)
               .help_text("Write the runs and the machine to this file as JSON, after every run"))
      .add(Option::value(settings.csv, "file")
               .name("--export-csv")
               .record_given(settings.csv_given)
               .help_text("Write one CSV row per run to this file, after every run"))
      .add(Option::value(settings.markdown, "file")
               .name("--export-markdown")
               .record_given(settings.markdown_given)
               .help_text("Write the results table to this file as Markdown, after every run"))
      .add(Option::value(settings.html, "file")
               .name("--export-html")
               .record_given(settings.html_given)
               .help_text("Write a report page with charts to this file, after every run"));
}

}  // namespace brisk
