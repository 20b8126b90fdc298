#include "app/stability_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "bench/state_failure.h"

namespace brisk {
namespace {

std::string package_cell(const StabilityTarget& target) {
  return target.package ? fmt::format("{}", *target.package) : std::string("?");
}

std::string processor_cell(const StabilityTarget& target) {
  const LogicalProcessor& p = target.processor;
  return p.group == 0 ? fmt::format("{}", p.os_index) : fmt::format("{}:{}", p.group, p.os_index);
}

std::string rate_cell(const std::optional<double>& mgups) {
  return mgups ? fmt::format("{:.2f}", *mgups) : std::string("-");
}

std::string mismatch_text(const GridMismatch& m) {
  return fmt::format("{} wrong values, first {}: expected {}, found {}", m.wrong_values,
                     mismatch_place(m), exact_double(m.expected), exact_double(m.found));
}

std::string result_cell(const StabilityRow& row) {
  if (!row.failure) return "ok";
  const StabilityFailure& f = *row.failure;
  const std::string what = f.mismatch ? mismatch_text(*f.mismatch) : f.text;
  return fmt::format("{}, round {}", what, f.round);
}

}  // namespace

std::string stability_round_line(const StabilityTarget& target, std::uint32_t round,
                                 std::uint32_t rounds, const CoreRound& result) {
  std::string what = "ok";
  if (result.mismatch) {
    what = mismatch_text(*result.mismatch);
  } else if (result.failure) {
    // The failure's first line, as the table shows it.
    std::string text = *result.failure;
    text.erase(0, text.find_first_not_of('\n'));
    what = text.substr(0, text.find('\n'));
  }
  return fmt::format("round {}/{}  package {}  core {}  logical processor {}: {} MGups  {}", round,
                     rounds, package_cell(target), target.core, processor_cell(target),
                     rate_cell(result.mgups), what);
}

std::vector<std::string> stability_table_lines(const std::vector<StabilityRow>& rows) {
  constexpr std::size_t kColumns = 7;
  const std::array<std::string, kColumns> header = {
      "package", "core", "logical processor", "MGups", "clock MHz", "speed", "result"};
  std::vector<std::array<std::string, kColumns>> cells;
  for (const StabilityRow& row : rows) {
    cells.push_back({package_cell(row.target), fmt::format("{}", row.target.core),
                     processor_cell(row.target), rate_cell(row.mgups),
                     row.clock_mhz ? fmt::format("{:.0f}", *row.clock_mhz) : std::string("-"),
                     row.slow ? "slow" : "", result_cell(row)});
  }
  std::array<std::size_t, kColumns> width{};
  for (std::size_t c = 0; c < kColumns; ++c) {
    width[c] = header[c].size();
    for (const auto& line : cells) width[c] = std::max(width[c], line[c].size());
  }
  const auto render = [&](const std::array<std::string, kColumns>& line) {
    std::string text;
    for (std::size_t c = 0; c + 1 < kColumns; ++c) {
      text += fmt::format("{:>{}}  ", line[c], width[c]);
    }
    return text + line[kColumns - 1];
  };
  std::vector<std::string> lines{render(header)};
  for (const auto& line : cells) lines.push_back(render(line));
  if (std::any_of(rows.begin(), rows.end(), [](const StabilityRow& r) { return r.slow; })) {
    lines.push_back("slow: more than 10% below the median MGups of the logical processors");
  }
  return lines;
}

}  // namespace brisk
