#include "results/markdown_writer.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "app/format.h"
#include "results/results_summary.h"

namespace brisk {
namespace {

std::string settings_line(const BenchConfig& c) {
  const std::string threads = c.numthreads == 0 ? "auto" : std::to_string(c.numthreads);
  return fmt::format("{}, {}, grid {}, {} s, {} threads ({}){}", c.workload, c.isa, c.size,
                     c.duration, threads, c.threading, c.large_pages ? ", large pages" : "");
}

std::string timer_line(const TimerContext& t) {
  return fmt::format("{} at {}, coarse timer at {}; {}{}", t.fast_source,
                     format_hz(t.fast_frequency_hz), format_hz(t.coarse_frequency_hz),
                     t.hwbot_compliant ? "HWBOT compliant" : "not HWBOT compliant",
                     t.check_bypassed ? " (check bypassed)" : "");
}

// The kinds of page the runs' fields got, in the order they first appear,
// each with the range of its share on huge pages; empty before any run got
// field memory.
std::string pages_line(const ResultsRecord& r) {
  std::vector<std::string> kinds;
  std::map<std::string, std::pair<double, double>> shares;  // lowest, highest
  for (const RunRecord& run : r.runs) {
    const RunOutcome& o = run.outcome;
    if (o.settings.pages.empty()) continue;
    const double share = o.huge_percent.value_or(0.0);
    const auto [it, first] = shares.try_emplace(o.settings.pages, share, share);
    if (first) kinds.push_back(o.settings.pages);
    it->second = {std::min(it->second.first, share), std::max(it->second.second, share)};
  }
  std::string line;
  for (const std::string& kind : kinds) {
    const auto [low, high] = shares[kind];
    if (!line.empty()) line += "; ";
    line += kind;
    if (kind == "ordinary" && high == 0.0) continue;
    line += low == high ? fmt::format(", {:.1f}% on huge pages", low)
                        : fmt::format(", {:.1f}% to {:.1f}% on huge pages", low, high);
  }
  return line;
}

std::string sweep_line(const ResultsRecord& r) {
  return fmt::format("{}{}{}, {} sub-run{} per point{}", r.sweep.variable,
                     r.sweep.option.empty() ? "" : " ", r.sweep.option, r.sweep.sub_runs,
                     r.sweep.sub_runs == 1 ? "" : "s", r.finished ? "" : " (still running)");
}

std::string table(const ResultsRecord& r) {
  std::string out = fmt::format("| {} |", markdown_text(r.sweep.variable));
  std::string rule = "|---|";
  // Without points nothing was run, as in the console table.
  const std::uint32_t columns = r.sweep.points.empty() ? 0 : r.sweep.sub_runs;
  for (std::uint32_t j = 1; j <= columns; ++j) {
    out += fmt::format(" run {} |", j);
    rule += "--:|";
  }
  out += fmt::format(" avg | max/min |\n{}--:|--:|\n", rule);
  for (const SummaryRow& row : summarize(r)) {
    out += fmt::format("| {} |", markdown_text(row.point));
    for (std::uint32_t j = 0; j < columns; ++j) {
      out += j < row.outcomes.size() ? fmt::format(" {} |", score_cell(*row.outcomes[j])) : " |";
    }
    out += fmt::format(" {} | {} |\n", row.statistics.average_cell(), row.statistics.spread_cell());
  }
  return out;
}

std::string percent_cell(const std::optional<double>& value) {
  return value ? fmt::format("{:.1f}%", *value) : "---";
}

// What else the machine did during each run: the two figures that most often
// explain a low or noisy score.
std::string conditions_table(const ResultsRecord& r) {
  std::string out;
  for (const RunRecord& run : r.runs) {
    if (run.point_index >= r.sweep.points.size()) continue;
    out += fmt::format("| {} | {} | {} | {} |\n", markdown_text(r.sweep.points[run.point_index]),
                       run.sub_run, percent_cell(run.outcome.conditions.other_load_percent),
                       percent_cell(run.outcome.conditions.steal_percent));
  }
  if (out.empty()) return out;
  return fmt::format("\n| {} | run | other load | steal |\n|---|--:|--:|--:|\n",
                     markdown_text(r.sweep.variable)) +
         out;
}

}  // namespace

std::string markdown_text(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      out += ' ';
      continue;
    }
    // Only what can take effect inside a line: the texts never start one.
    // An underscore inside a word is no emphasis in GitHub's Markdown.
    if (std::string_view("\\`*[]<>|~&").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string render_markdown(const ResultsRecord& r) {
  std::string out = "## brisk results\n\n";
  out += fmt::format("- **brisk:** v{}\n", markdown_text(r.build.version));
  // Brand strings are padded with blanks, which Markdown reads as a line break.
  const std::string_view brand = r.machine.cpu.brand;
  out += fmt::format("- **processor:** {}\n",
                     markdown_text(brand.substr(0, brand.find_last_not_of(' ') + 1)));
  out += fmt::format("- **settings:** {}\n", markdown_text(settings_line(r.settings)));
  out += fmt::format("- **timer:** {}\n", markdown_text(timer_line(r.timers)));
  const std::string pages = pages_line(r);
  if (!pages.empty()) out += fmt::format("- **pages:** {}\n", markdown_text(pages));
  out += fmt::format("- **sweep:** {}\n\n", markdown_text(sweep_line(r)));
  return out + table(r) + conditions_table(r);
}

}  // namespace brisk
