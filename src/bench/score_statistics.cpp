#include "bench/score_statistics.h"

#include <fmt/format.h>

#include <algorithm>

namespace brisk {

void ScoreStatistics::add(const RunOutcome& outcome) {
  if (outcome.valid) add(outcome.score);
}

void ScoreStatistics::add(double score) {
  ++count_;
  sum_ += score;
  max_ = std::max(max_, score);
  min_ = std::min(min_, score);
}

std::optional<double> ScoreStatistics::average() const {
  if (sum_ < 1e-10) return std::nullopt;
  return sum_ / static_cast<double>(count_);
}

std::optional<double> ScoreStatistics::spread_percent() const {
  if (max_ < 1e-10) return std::nullopt;
  return (max_ / min_ - 1.0) * 100.0;
}

std::string ScoreStatistics::average_cell() const {
  const std::optional<double> value = average();
  return value ? fmt::format("{:.2f}", *value) : std::string("---");
}

std::string ScoreStatistics::spread_cell() const {
  const std::optional<double> value = spread_percent();
  return value ? fmt::format("{:.2f}%", *value) : std::string("---");
}

std::string score_cell(const RunOutcome& outcome) {
  return outcome.valid ? fmt::format("{:.2f}", outcome.score) : std::string("---");
}

}  // namespace brisk
