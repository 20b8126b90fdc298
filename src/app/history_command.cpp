#include "app/history_command.h"

#include <fmt/format.h>

#include <iostream>
#include <new>

#include "argparse/parser.h"
#include "history/history_listing.h"
#include "history/history_store.h"
#include "platform/file_replace.h"
#include "report/history_page.h"

namespace brisk {
namespace {

constexpr int kBadUsage = 1;
constexpr int kFileNotWritten = 2;

struct HistoryRequest {
  bool all = false;
  std::uint32_t limit = 0;
  std::string csv;
  std::string html;
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
               .help_text("Write one CSV row per saved run and point to this file"))
      .add(argparse::Option::value(request.html, "file")
               .name("--export-html")
               .help_text("Write a page charting the scores over time to this file"));
  return parser;
}

// Each export is tried; each one that cannot be written gets its line.
bool write_exports(const HistoryRequest& request,
                   const std::vector<const HistoryEntry*>& selected) {
  bool all_written = true;
  auto write = [&](const std::string& path, auto render) {
    if (path.empty()) return;
    std::optional<std::string> failure;
    try {
      failure = replace_file_atomically(path, render());
    } catch (const std::bad_alloc&) {
      failure = "out of memory";
    }
    if (!failure) return;
    all_written = false;
    std::cerr << fmt::format("cannot write history file \"{}\": {}", path, *failure) << std::endl;
  };
  write(request.csv, [&] { return render_history_csv(selected); });
  write(request.html, [&] { return render_history_page(render_history_json(selected)); });
  return all_written;
}

}  // namespace

int run_history_command(const std::vector<std::string>& args) {
  HistoryRequest request;
  const argparse::Parser parser = history_parser(request);
  const argparse::ParseResult parsed = parser.parse(args);
  if (!parsed.ok()) {
    std::cerr << *parsed.error << std::endl;
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
