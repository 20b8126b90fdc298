#include "app/history_command.h"

#include <fmt/format.h>

#include <functional>
#include <iostream>
#include <new>

#include "argparse/parser.h"
#include "history/history_listing.h"
#include "history/history_store.h"
#include "report/history_page.h"
#include "results/export_files.h"

namespace brisk {
namespace {

constexpr int kBadUsage = 1;
constexpr int kFileNotWritten = 2;

struct HistoryRequest {
  bool all = false;
  std::uint32_t limit = 0;
  std::string csv;
  std::string html;
  bool csv_given = false;
  bool html_given = false;
  bool help = false;
};

argparse::Parser history_parser(HistoryRequest& request) {
  argparse::Parser parser;
  parser.add(argparse::Option::help(request.help))
      .add(argparse::Option::flag(request.all)
               .name("--all")
               .help_text("List the saved results of every machine, not only this one"))
      .add(argparse::Option::value(request.limit, "n")
               .name("--limit")
               .help_text("List at most this many results (0: all)"))
      .add(argparse::Option::value(request.csv, "file")
               .name("--export-csv")
               .record_given(request.csv_given)
               .help_text("Write one CSV row per saved run and point to this file"))
      .add(argparse::Option::value(request.html, "file")
               .name("--export-html")
               .record_given(request.html_given)
               .help_text("Write a page charting the scores over time to this file"));
  return parser;
}

// Each export is tried; each one that cannot be written gets its line.
bool write_exports(const HistoryRequest& request,
                   const std::vector<const HistoryEntry*>& selected) {
  const std::pair<const std::string*, std::function<std::string()>> exports[] = {
      {&request.csv, [&] { return render_history_csv(selected); }},
      {&request.html, [&] { return render_history_page(render_history_json(selected)); }}};
  bool all_written = true;
  for (const auto& [path, render] : exports) {
    if (path->empty()) continue;
    const auto failure = write_whole_file("history", *path, render);
    if (!failure) continue;
    all_written = false;
    std::cerr << *failure << std::endl;
  }
  return all_written;
}

// An export option given with no file name would silently write nothing.
std::optional<std::string> empty_file_name(const HistoryRequest& request) {
  if (request.csv_given && request.csv.empty()) return "--export-csv: the file name is empty";
  if (request.html_given && request.html.empty()) return "--export-html: the file name is empty";
  return std::nullopt;
}

}  // namespace

int run_history_command(const std::vector<std::string>& args) {
  HistoryRequest request;
  const argparse::Parser parser = history_parser(request);
  const argparse::ParseResult parsed = parser.parse(args);
  std::optional<std::string> refused = parsed.error;
  if (!refused) refused = empty_file_name(request);
  if (refused) {
    std::cerr << *refused << std::endl;
    return kBadUsage;
  }
  if (request.help) {
    std::cout << parser.usage_text("brisk history") << std::flush;
    return 0;
  }
  const HistoryStore store = HistoryStore::open_default();
  if (store.folder().empty()) {
    std::cout << "no results folder: HOME is not set; BRISK_RESULTS_DIR names one" << std::endl;
    return 0;
  }
  if (const auto& failure = store.folder_error()) {
    std::cerr << fmt::format("warning: cannot list \"{}\": {}", store.folder(), *failure)
              << std::endl;
  }
  warn_skipped_once(store);
  ListingRequest listing;
  listing.all_machines = request.all;
  listing.limit = request.limit;
  if (!request.all) listing.machine_key = current_machine_key();
  const std::vector<const HistoryEntry*> selected = select_entries(store, listing);
  const bool written = write_exports(request, selected);
  for (const std::string& line : listing_lines(store, selected, listing)) {
    std::cout << line << '\n';
  }
  std::cout << std::flush;
  return written ? 0 : kFileNotWritten;
}

}  // namespace brisk
