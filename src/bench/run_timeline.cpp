#include "bench/run_timeline.h"

#include <algorithm>
#include <utility>

namespace brisk {

std::vector<double> thread_timeline(std::span<const std::uint64_t> marks,
                                    std::uint64_t updates_per_step) {
  if (marks.empty() || marks[0] == kNoMark) return {};
  std::size_t last = 0;
  for (std::size_t k = 1; k < marks.size(); ++k) {
    if (marks[k] != kNoMark) last = k;
  }
  std::vector<double> rates(last, 0.0);
  const double updates = static_cast<double>(updates_per_step);
  std::size_t previous = 0;
  for (std::size_t k = 1; k <= last; ++k) {
    if (marks[k] == kNoMark) continue;
    // Step counts only grow; a smaller one would be a broken mark, taken as
    // no progress rather than as a wrapped huge count.
    const std::uint64_t steps = marks[k] > marks[previous] ? marks[k] - marks[previous] : 0;
    const double per_second =
        static_cast<double>(steps) * updates / 1e6 / static_cast<double>(k - previous);
    std::fill(rates.begin() + static_cast<std::ptrdiff_t>(previous),
              rates.begin() + static_cast<std::ptrdiff_t>(k), per_second);
    previous = k;
  }
  return rates;
}

RunTimeline make_timeline(const StepMarks& marks) {
  RunTimeline timeline;
  timeline.threads.reserve(marks.threads());
  for (std::uint32_t t = 0; t < marks.threads(); ++t) {
    std::vector<double> rates = thread_timeline(marks.row(t), marks.updates_per_step(t));
    if (rates.size() > timeline.mgups.size()) timeline.mgups.resize(rates.size(), 0.0);
    for (std::size_t s = 0; s < rates.size(); ++s) timeline.mgups[s] += rates[s];
    timeline.threads.push_back(std::move(rates));
  }
  return timeline;
}

}  // namespace brisk
