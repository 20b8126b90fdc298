#include "bench/aggregate_results.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/run_messages.h"
#include "brisk_version.h"
#include "platform/cpu_info.h"

namespace brisk {
namespace {

constexpr std::size_t kColumns = 5;
using Row = std::array<std::string, kColumns>;

void print_invalid_box() {
  std::cerr << "==================" << std::endl;
  std::cerr << "  invalid result " << std::endl;
  std::cerr << "==================" << std::endl;
}

void print_valid_box() {
  std::cout << "===============" << std::endl;
  std::cout << "  valid result " << std::endl;
  std::cout << "===============" << std::endl;
}

// Seconds first, then millions of updates, then the quotient: the order in
// which the rate has always been computed, kept so scores stay comparable.
double thread_rate(const ThreadResult& thread) {
  const double seconds = static_cast<double>(thread.fast_us) / 1000000.0;
  return (static_cast<double>(thread.updates) / 1000000.0) / seconds;
}

Row make_row(const ThreadResult& thread, double rate) {
  const double seconds = static_cast<double>(thread.fast_us) / 1000000.0;
  return {fmt::format("{}", thread.thread_index), fmt::format("{}", thread.updates),
          fmt::format("{:.2f}s", seconds), fmt::format("{:.2f}", rate),
          fmt::format("{}", thread.iterations)};
}

void print_row(const Row& row, const std::array<std::size_t, kColumns>& widths) {
  std::string line;
  for (std::size_t c = 0; c < kColumns; ++c) {
    if (c != 0) line += "  ";
    line += fmt::format("{:>{}}", row[c], widths[c]);
  }
  std::cout << line << std::endl;
}

void print_table(const std::vector<Row>& rows) {
  const Row header = {"thread", "grid updates", "time", "MGups", "iterations"};
  std::array<std::size_t, kColumns> widths{};
  for (std::size_t c = 0; c < kColumns; ++c) {
    widths[c] = header[c].size();
    for (const Row& row : rows) widths[c] = std::max(widths[c], row[c].size());
  }
  print_row(header, widths);
  for (const Row& row : rows) print_row(row, widths);
}

}  // namespace

RunOutcome aggregate_results(const RunResult& result) {
  RunOutcome outcome;
  outcome.messages = result.messages;
  outcome.init_ms = result.init_ms;
  outcome.timeline = make_timeline(result.marks);
  outcome.conditions = result.conditions;
  outcome.workers_started = result.workers_started;
  outcome.threads.reserve(result.results.size());
  for (const ThreadResult& thread : result.results) {
    outcome.threads.push_back(ThreadOutcome{thread, thread_rate(thread), std::nullopt});
  }
  if (result.aborted) {
    print_invalid_box();
    return outcome;
  }
  // A run that produced nothing at all is never valid, even when it was asked
  // for zero threads.
  if (result.results.size() < result.thread_count || result.results.empty()) {
    print_invalid_box();
    report_error(outcome.messages, "not all threads produced a result");
    return outcome;
  }

  std::vector<Row> rows;
  rows.reserve(outcome.threads.size());
  double score = 0.0;
  for (const ThreadOutcome& thread : outcome.threads) {
    rows.push_back(make_row(thread.result, thread.mgups));
    score += thread.mgups;
  }
  print_table(rows);

  for (const ThreadResult& thread : result.results) {
    const std::int64_t fast_ms = thread.fast_us / 1000;
    if (std::llabs(fast_ms - thread.coarse_ms) > kTimerToleranceMs) {
      print_invalid_box();
      report_error(outcome.messages,
                   "disagreement between timers for total work is larger than tolerance");
      report_error(outcome.messages, fmt::format("fast timer = {}ms    coarse timer = {}ms",
                                                 fast_ms, thread.coarse_ms));
      return outcome;
    }
  }

  print_valid_box();
  std::cout << fmt::format("brisk v{} {} {}", kVersion, result.workload, result.isa) << std::endl;
  std::cout << read_brand_string() << std::endl;
  std::cout << "final score: "
            << (score > 100.0 ? fmt::format("{:.2f} MGups", score)
                              : fmt::format("{:.4g} MGups", score))
            << std::endl;
  outcome.score = score;
  outcome.valid = true;
  return outcome;
}

}  // namespace brisk
