#include "bench/stability.h"

#include <algorithm>

namespace brisk {
namespace {

// The first line of a failure text, whose own first line may be empty.
std::string first_line(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && text[start] == '\n') ++start;
  const std::size_t end = text.find('\n', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void add_round(StabilityRow& row, std::uint32_t round, const CoreRound& result) {
  if (result.mgups && (!row.mgups || *result.mgups > *row.mgups)) row.mgups = result.mgups;
  if (result.clock_mhz) row.clock_mhz = result.clock_mhz;
  if (!result.mismatch && !result.failure && !result.wrong_value) return;
  StabilityFailure failure;
  failure.round = round;
  failure.mismatch = result.mismatch;
  failure.wrong_value = result.wrong_value || result.mismatch.has_value();
  // The first wrong value is what the row reports; another kind of failure
  // only until one is seen.
  if (row.failure && (row.failure->wrong_value || !failure.wrong_value)) return;
  if (result.failure) failure.text = first_line(*result.failure);
  row.failure = std::move(failure);
}

}  // namespace

std::vector<StabilityTarget> stability_targets(
    const Topology& topology,
    const std::function<std::optional<std::uint32_t>(std::uint16_t, std::uint32_t)>& package_of) {
  std::vector<StabilityTarget> targets;
  for (const NumaNode& node : topology.numa_nodes) {
    for (const LastLevelCache& cache : node.llcs) {
      for (const Core& core : cache.cores) {
        for (const LogicalProcessor& logical : core.logicals) {
          targets.push_back({package_of(logical.group, logical.os_index), core.id, logical});
        }
      }
    }
  }
  return targets;
}

std::vector<StabilityRow> run_stability(
    const std::vector<StabilityTarget>& targets, std::uint32_t rounds,
    const std::function<CoreRound(const StabilityTarget&, std::uint32_t)>& run_round,
    const std::function<void(const StabilityTarget&, std::uint32_t, const CoreRound&)>&
        round_done) {
  std::vector<StabilityRow> rows(targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) rows[i].target = targets[i];
  // Round after round over all processors, so that a slow spell of the
  // machine falls on many processors rather than on one.
  for (std::uint32_t round = 1; round <= rounds; ++round) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const CoreRound result = run_round(targets[i], round);
      add_round(rows[i], round, result);
      if (round_done) round_done(targets[i], round, result);
    }
  }
  mark_slow_rows(rows);
  return rows;
}

void mark_slow_rows(std::vector<StabilityRow>& rows) {
  std::vector<double> rates;
  for (const StabilityRow& row : rows) {
    if (row.mgups) rates.push_back(*row.mgups);
  }
  if (rates.empty()) return;
  std::sort(rates.begin(), rates.end());
  const std::size_t half = rates.size() / 2;
  const double median = rates.size() % 2 == 1 ? rates[half] : (rates[half - 1] + rates[half]) / 2.0;
  for (StabilityRow& row : rows) row.slow = row.mgups && *row.mgups < median * 0.9;
}

bool any_wrong_value(const std::vector<StabilityRow>& rows) {
  return std::any_of(rows.begin(), rows.end(), [](const StabilityRow& row) {
    return row.failure && row.failure->wrong_value;
  });
}

bool any_other_failure(const std::vector<StabilityRow>& rows) {
  return std::any_of(rows.begin(), rows.end(), [](const StabilityRow& row) {
    return row.failure && !row.failure->wrong_value;
  });
}

}  // namespace brisk
