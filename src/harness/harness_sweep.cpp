#include "harness/harness_sweep.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <iterator>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/format.h"
#include "memory/memory_info.h"
#include "bench/run_conditions.h"
#include "bench/score_statistics.h"
#include "harness/drop_warning.h"
#include "harness/other_load_warning.h"
#include "harness/page_warning.h"
#include "harness/warning_place.h"

namespace brisk {
namespace {

constexpr std::size_t kMinLabelWidth = 8;

// Room for every outcome is reserved before the first run, so a sub-run count
// no machine can hold (say 4294967295) is refused up front instead of ending
// in an allocation failure after hours of runs. The list is filled one entry
// per finished run, so nothing is written ahead. On Linux a reservation may
// succeed and only fail when touched, so it is also held against free memory.
bool reserve_results(harness_settings& settings) {
  const std::uint64_t total = std::uint64_t{settings.sub_runs} * settings.runs.size();
  bool fits = fits_in_free_memory(total, sizeof(RunOutcome));
  if (fits) {
    try {
      for (harness_run& point : settings.runs) {
        point.results.clear();
        point.results.reserve(settings.sub_runs);
      }
    } catch (const std::bad_alloc&) {
      fits = false;
    } catch (const std::length_error&) {
      fits = false;
    }
  }
  if (fits) return true;
  for (harness_run& point : settings.runs) point.results = {};
  std::cerr << fmt::format(
                   "cannot keep the results of {} harness runs ({} points x {} sub-runs); "
                   "nothing is run",
                   total, settings.runs.size(), settings.sub_runs)
            << std::endl;
  return false;
}

std::string statistics_cells(const harness_run& point) {
  ScoreStatistics statistics;
  for (const RunOutcome& outcome : point.results) statistics.add(outcome);
  return fmt::format(" | {:>8} | {:>8}", statistics.average_cell(), statistics.spread_cell());
}

}  // namespace

void warn_noisy_points(const harness_settings& settings, std::ostream& err) {
  for (const harness_run& point : settings.runs) {
    ScoreStatistics statistics;
    for (const RunOutcome& outcome : point.results) statistics.add(outcome);
    const std::optional<double> spread = statistics.spread_percent();
    if (!spread || *spread <= kNoisySpreadPercent) continue;
    err << fmt::format("warning: {}spread {} (over {:g}%): {}", warning_place(settings, point),
                       statistics.spread_cell(), kNoisySpreadPercent,
                       noisy_explanation(numbered_conditions(point.results)))
        << std::endl;
  }
}

std::uint64_t estimate_total_seconds(const harness_settings& settings) {
  std::uint64_t seconds = std::uint64_t{settings.runs.size()} * settings.pause_ms / 1000;
  for (const harness_run& point : settings.runs) {
    seconds += std::uint64_t{settings.sub_runs} * point.estimate_s;
  }
  return seconds;
}

void print_results_table(const harness_settings& settings, std::ostream& out) {
  std::size_t width = std::max(kMinLabelWidth, settings.var.size());
  for (const harness_run& point : settings.runs) width = std::max(width, point.label.size());
  // Without points nothing was run, so there are no run columns to show,
  // whatever the sub-run count.
  const std::uint64_t columns = settings.runs.empty() ? 0 : settings.sub_runs;

  // Cells go to the stream one by one instead of being gathered into lines,
  // so the table needs no memory beyond the outcomes it shows, however many
  // sub-runs there are.
  out << std::endl;
  out << "!!HARNESS!!" << std::endl;
  out << "=====" << settings.var << " results=====" << std::endl;
  out << fmt::format(" {:<{}} |", settings.var, width);
  for (std::uint64_t j = 1; j <= columns; ++j) {
    out << fmt::format(" {:>8}", fmt::format("run {}", j));
  }
  out << fmt::format(" | {:>8} | {:>8}", "avg", "max/min") << std::endl;
  std::fill_n(std::ostreambuf_iterator<char>(out), width + 25 + 9 * columns, '=');
  out << std::endl;
  for (const harness_run& point : settings.runs) {
    out << fmt::format(" {:<{}} |", point.label, width);
    for (const RunOutcome& outcome : point.results)
      out << fmt::format(" {:>8}", score_cell(outcome));
    out << statistics_cells(point) << std::endl;
  }
}

void perform_sweep(harness_settings& settings) {
  std::cout << "!!HARNESS!! run values:" << std::endl;
  for (const harness_run& point : settings.runs) std::cout << point.label << std::endl;
  std::cout << "!!HARNESS!! estimated total time = "
            << format_duration(estimate_total_seconds(settings)) << std::endl;
  if (settings.hooks.points_ready) settings.hooks.points_ready(settings);
  if (!reserve_results(settings)) return;

  const std::uint64_t total = std::uint64_t{settings.runs.size()} * settings.sub_runs;
  std::uint64_t k = 0;
  for (std::size_t p = 0; p < settings.runs.size(); ++p) {
    harness_run& point = settings.runs[p];
    for (std::uint32_t i = 0; i < settings.sub_runs; ++i) {
      std::cout << std::endl;
      std::cout << fmt::format("!!HARNESS!! run {}/{}", k + 1, total) << std::endl;
      std::cout << std::endl;
      point.results.push_back(point.run());
      if (settings.hooks.run_done) settings.hooks.run_done(settings, p);
      std::this_thread::sleep_for(std::chrono::milliseconds(settings.pause_ms));
      ++k;
    }
  }
  print_results_table(settings, std::cout);
  warn_noisy_points(settings, std::cerr);
  warn_timeline_drops(settings, std::cerr);
  warn_partial_huge_pages(settings, std::cerr);
  warn_other_load(settings, std::cerr);
}

}  // namespace brisk
