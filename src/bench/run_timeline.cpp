#include "bench/run_timeline.h"

#include <algorithm>
#include <cmath>
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

std::optional<double> clock_value(float mhz) {
  if (std::isnan(mhz)) return std::nullopt;
  return static_cast<double>(mhz);
}

// The mean of the known values; none when there is none.
struct ClockMean {
  double sum = 0.0;
  std::size_t count = 0;
  void add(const std::optional<double>& mhz) {
    if (!mhz) return;
    sum += *mhz;
    ++count;
  }
  std::optional<double> mean() const {
    if (count == 0) return std::nullopt;
    return sum / static_cast<double>(count);
  }
};

}  // namespace

std::vector<std::optional<double>> thread_clock_timeline(std::span<const std::uint64_t> marks,
                                                         std::span<const float> clocks) {
  if (marks.empty() || marks[0] == kNoMark) return {};
  std::size_t last = 0;
  for (std::size_t k = 1; k < marks.size(); ++k) {
    if (marks[k] != kNoMark) last = k;
  }
  std::vector<std::optional<double>> seconds(last);
  std::size_t previous = 0;
  for (std::size_t k = 1; k <= last; ++k) {
    if (marks[k] == kNoMark) continue;
    const std::optional<double> mhz = k < clocks.size() ? clock_value(clocks[k]) : std::nullopt;
    std::fill(seconds.begin() + static_cast<std::ptrdiff_t>(previous),
              seconds.begin() + static_cast<std::ptrdiff_t>(k), mhz);
    previous = k;
  }
  return seconds;
}

std::optional<double> mean_clock(const std::vector<std::optional<double>>& clocks, std::size_t from,
                                 std::size_t to) {
  ClockMean mean;
  for (std::size_t s = from; s < clocks.size() && s < to; ++s) mean.add(clocks[s]);
  return mean.mean();
}

std::optional<double> loop_edge_clock(const StepMarks& marks, bool before) {
  ClockMean mean;
  for (std::uint32_t t = 0; t < marks.threads(); ++t) {
    const std::span<const float> clocks = marks.clocks(t);
    if (clocks.empty()) continue;
    mean.add(clock_value(before ? clocks.front() : clocks.back()));
  }
  return mean.mean();
}

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
  std::vector<ClockMean> means(timeline.mgups.size());
  timeline.threads_clock_mhz.reserve(marks.threads());
  for (std::uint32_t t = 0; t < marks.threads(); ++t) {
    std::vector<std::optional<double>> clocks =
        thread_clock_timeline(marks.row(t), marks.clocks(t));
    for (std::size_t s = 0; s < clocks.size(); ++s) means[s].add(clocks[s]);
    timeline.threads_clock_mhz.push_back(std::move(clocks));
  }
  timeline.clock_mhz.reserve(means.size());
  for (const ClockMean& mean : means) timeline.clock_mhz.push_back(mean.mean());
  return timeline;
}

}  // namespace brisk
