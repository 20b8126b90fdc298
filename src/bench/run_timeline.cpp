#include "bench/run_timeline.h"

#include <algorithm>
#include <utility>

namespace brisk {
namespace {

// Updates of every whole second: whole numbers, exact in a double, unless a
// long step was spread; so their sum over threads is exact too, and one
// division makes each MGups value the nearest to its decimal.
std::vector<double> thread_updates(std::span<const std::uint64_t> marks,
                                   std::uint64_t updates_per_step) {
  if (marks.empty() || marks[0] == kNoMark) return {};
  std::size_t last = 0;
  for (std::size_t k = 1; k < marks.size(); ++k) {
    if (marks[k] != kNoMark) last = k;
  }
  std::vector<double> updates(last, 0.0);
  std::size_t previous = 0;
  for (std::size_t k = 1; k <= last; ++k) {
    if (marks[k] == kNoMark) continue;
    // Step counts only grow; a smaller one would be a broken mark, taken as
    // no progress rather than as a wrapped huge count.
    const std::uint64_t steps = marks[k] > marks[previous] ? marks[k] - marks[previous] : 0;
    const double per_second = static_cast<double>(steps) * static_cast<double>(updates_per_step) /
                              static_cast<double>(k - previous);
    std::fill(updates.begin() + static_cast<std::ptrdiff_t>(previous),
              updates.begin() + static_cast<std::ptrdiff_t>(k), per_second);
    previous = k;
  }
  return updates;
}

std::vector<double> in_mgups(std::vector<double> updates) {
  for (double& value : updates) value /= 1e6;
  return updates;
}

}  // namespace

std::vector<double> thread_timeline(std::span<const std::uint64_t> marks,
                                    std::uint64_t updates_per_step) {
  return in_mgups(thread_updates(marks, updates_per_step));
}

RunTimeline make_timeline(const StepMarks& marks) {
  RunTimeline timeline;
  std::vector<double> total;
  timeline.threads.reserve(marks.threads());
  for (std::uint32_t t = 0; t < marks.threads(); ++t) {
    std::vector<double> updates = thread_updates(marks.row(t), marks.updates_per_step(t));
    if (updates.size() > total.size()) total.resize(updates.size(), 0.0);
    for (std::size_t s = 0; s < updates.size(); ++s) total[s] += updates[s];
    timeline.threads.push_back(in_mgups(std::move(updates)));
  }
  timeline.mgups = in_mgups(std::move(total));
  return timeline;
}

}  // namespace brisk
