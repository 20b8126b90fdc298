#include "app/compare_command.h"

#include <fmt/format.h>

#include <iostream>
#include <optional>
#include <utility>

#include "app/compare_options.h"
#include "app/export_options.h"
#include "app/stability_command.h"
#include "argparse/parser.h"
#include "compare/compare_console.h"
#include "compare/comparison_csv.h"
#include "compare/comparison_json.h"
#include "compare/comparison_markdown.h"
#include "history/history_reference.h"
#include "platform/file_read.h"
#include "report/comparison_page.h"
#include "results/console_text.h"
#include "results/export_files.h"

namespace brisk {
namespace {

constexpr int kUsageOrInput = 1;
constexpr int kFileNotWritten = 2;

struct CompareRequest {
  std::vector<std::string> inputs;  // the base first
  CompareSettings compare;
  ExportSettings exports;
  bool help = false;
};

argparse::Parser compare_parser(CompareRequest& request) {
  argparse::Parser parser;
  parser.add(argparse::Option::help(request.help));
  CompareSettings& c = request.compare;
  parser
      .add(argparse::Option::value(c.threshold, "percent")
               .name("--threshold")
               .record_given(c.threshold_given)
               .help_text("Smallest change of a point's average that counts (default 2)"))
      .add(argparse::Option::value(c.fail_slower, "percent")
               .name("--fail-slower")
               .record_given(c.fail_slower_given)
               .help_text("Exit with status 3 when a like-for-like point is slower by more than "
                          "this, with p < 0.05"));
  add_export_options(parser, request.exports);
  return parser;
}

// Options may stand anywhere among the files; "--" ends the options, so a
// file whose name starts with a dash can still be named.
std::optional<std::string> parse_request(const std::vector<std::string>& args,
                                         CompareRequest& request) {
  const argparse::Parser parser = compare_parser(request);
  std::vector<std::string> options;
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg.size() < 2 || arg[0] != '-') {
      request.inputs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    options.push_back(arg);
    const std::string name = arg.substr(0, arg.find('='));
    for (const argparse::Option& option : parser.options()) {
      if (option.has_name(name) && !option.is_flag() && name == arg && i + 1 < args.size()) {
        options.push_back(args[++i]);
      }
    }
  }
  const argparse::ParseResult parsed = parser.parse(options);
  if (!parsed.ok()) return *parsed.error;
  if (request.help) return std::nullopt;
  if (auto failure = request.exports.validate()) return failure;
  if (auto failure = validate_compare_settings(request.compare, true)) return failure;
  if (request.inputs.size() < 2) {
    return "brisk compare needs two or more results files: the base, then the files to compare "
           "with it";
  }
  return std::nullopt;
}

// Files first, then "best", which needs the side it is compared with.
std::optional<std::string> load_inputs(const std::vector<std::string>& inputs,
                                       std::vector<ComparedFile>& files) {
  files.assign(inputs.size(), ComparedFile{});
  std::vector<bool> loaded(inputs.size(), false);
  // Read once, and only when some input names a saved result.
  std::optional<HistoryStore> store;
  for (const std::string& input : inputs) {
    if (!store && !is_regular_file_utf8(input)) store = HistoryStore::open_default();
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (loaded[i] || ((inputs[i] == "best") != (pass == 1))) continue;
      const ResultsDocument* other = nullptr;
      const std::size_t partner = i == 0 ? 1 : 0;
      if (loaded[partner]) other = &files[partner].document;
      if (auto failure =
              resolve_results_argument(inputs[i], other, files[i], store ? &*store : nullptr)) {
        return failure;
      }
      loaded[i] = true;
    }
  }
  return std::nullopt;
}

std::string render(ExportFormat format, const Comparison& comparison) {
  switch (format) {
    case ExportFormat::json:
      return render_comparison_json(comparison);
    case ExportFormat::csv:
      return render_comparison_csv(comparison);
    case ExportFormat::markdown:
      return render_comparison_markdown(comparison);
    case ExportFormat::html:
      return render_comparison_page(render_comparison_json(comparison));
  }
  return {};
}

// Every file is tried; each one that cannot be written gets its line.
bool write_exports(const ExportSettings& exports, const Comparison& comparison) {
  bool all_written = true;
  for (const ExportTarget& target : exports.targets()) {
    const auto failure = write_whole_file("comparison", target.path,
                                          [&] { return render(target.format, comparison); });
    if (!failure) continue;
    all_written = false;
    std::cerr << *failure << std::endl;
  }
  return all_written;
}

}  // namespace

int run_compare_command(const std::vector<std::string>& args) {
  CompareRequest request;
  if (auto failure = parse_request(args, request)) {
    // It may quote an argument, and a "*.json" in a shared folder expands
    // to names anyone could choose.
    std::cerr << console_safe(*failure) << std::endl;
    return kUsageOrInput;
  }
  if (request.help) {
    for (const std::string& line : command_help_lines()) std::cout << line << std::endl;
    return 0;
  }
  std::vector<ComparedFile> files;
  if (auto failure = load_inputs(request.inputs, files)) {
    std::cerr << *failure << std::endl;
    return kUsageOrInput;
  }
  const double threshold = request.compare.threshold_given
                               ? *parse_percent(request.compare.threshold)
                               : kDefaultThresholdPercent;
  const Comparison comparison = compare_files(std::move(files), threshold);
  const bool written = write_exports(request.exports, comparison);
  print_comparison(comparison, std::cout);
  if (request.compare.fail_slower_given &&
      significantly_slower(comparison, *parse_percent(request.compare.fail_slower))) {
    return kSignificantlySlower;
  }
  return written ? 0 : kFileNotWritten;
}

bool looks_like_dropped_files(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  for (const std::string& arg : args) {
    if (arg.size() < 6) return false;
    std::string extension = arg.substr(arg.size() - 5);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".json") return false;
    if (!is_regular_file_utf8(arg)) return false;
  }
  return true;
}

std::vector<std::string> command_help_lines() {
  std::vector<std::string> lines = {
      "COMMANDS:",
      "  compare <base> <file>... [--threshold <percent>] [--fail-slower <percent>]",
      "          [--export-json|--export-csv|--export-markdown|--export-html <file>]",
      "                          Compare results files (from --export-json, or saved results)",
      "                          with the first: each point's change of average with its 95%",
      "                          interval, p-value (Welch's t-test) and verdict: faster, slower,",
      "                          no change or unclear. Exit status 3 when --fail-slower is given",
      "                          and a like-for-like point is slower by more than it with p < "
      "0.05.",
      "  history [--all] [--limit <n>] [--export-csv <file>] [--export-html <file>]",
      "                          List the saved results of this machine, newest first.",
  };
  for (const std::string& line : stability_help_lines()) lines.push_back(line);
  for (const char* line : {
           "Every run is saved in the results folder ($BRISK_RESULTS_DIR, else",
           "$XDG_DATA_HOME/brisk/results or ~/.local/share/brisk/results; on Windows",
           "%LOCALAPPDATA%\\brisk\\results) unless --no-save is given. Where a results file is",
           "taken, a saved result can be named instead: last, last~N, best, or an id from brisk "
           "history.",
           "Results files dropped onto brisk.exe are compared, the first as the base.",
       }) {
    lines.emplace_back(line);
  }
  lines.push_back(
      "standing_wave runs are verified bit for bit: after the timed loop every value of the");
  lines.push_back(
      "grid is compared with its exact state, and one wrong value makes the run invalid.");
  lines.push_back("soft_gaussian has no exact state; its energy checks are all it gets.");
  return lines;
}

}  // namespace brisk
