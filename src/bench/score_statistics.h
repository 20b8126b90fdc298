// The average and spread of a sweep point's scores and the texts the results
// table shows for them, in one place so the console table and every results
// file agree to the digit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/run_outcome.h"

namespace brisk {

// Above this spread a point's scores say more about what else the machine was
// doing, or its throttling, than about the machine: the harness warns and
// brisk compare calls such a side noisy.
inline constexpr double kNoisySpreadPercent = 5.0;

class ScoreStatistics {
 public:
  // Counts a valid run's score; an invalid run changes nothing.
  void add(const RunOutcome& outcome);
  // Counts one valid score.
  void add(double score);

  // Mean of the valid scores; none when their sum is not positive.
  std::optional<double> average() const;
  // (max / min - 1) * 100 of the valid scores; none when there is none.
  std::optional<double> spread_percent() const;

  // The table's texts: "1234.57" and "1.41%", or "---" when there is none.
  std::string average_cell() const;
  std::string spread_cell() const;

 private:
  std::uint64_t count_ = 0;
  double sum_ = 0.0;
  double max_ = 0.0;
  double min_ = 1e20;
};

// A run's score as the table shows it: two decimals, "---" when invalid.
std::string score_cell(const RunOutcome& outcome);

}  // namespace brisk
