#include "bench/timeline_drop.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace brisk {
namespace {

double median_of(std::vector<double> values) {
  const std::size_t mid = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
  const double upper = values[mid];
  if (values.size() % 2 == 1) return upper;
  const double lower =
      *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
  return (lower + upper) / 2.0;
}

}  // namespace

std::optional<DropClock> drop_clock(std::span<const std::optional<double>> clock_mhz,
                                    const TimelineDrop& drop) {
  std::vector<double> measured;
  double sum = 0.0;
  std::size_t count = 0;
  for (std::size_t s = 1; s < clock_mhz.size(); ++s) {
    if (!clock_mhz[s]) continue;
    measured.push_back(*clock_mhz[s]);
    if (s >= drop.from_s && s < drop.to_s) {
      sum += *clock_mhz[s];
      ++count;
    }
  }
  if (count == 0) return std::nullopt;
  const double median = median_of(std::move(measured));
  if (!(median > 0.0)) return std::nullopt;
  DropClock clock;
  clock.mhz = sum / static_cast<double>(count);
  clock.median_mhz = median;
  clock.percent_below = (1.0 - clock.mhz / median) * 100.0;
  return clock;
}

std::optional<TimelineDrop> find_drop(std::span<const double> mgups) {
  if (mgups.size() < 2) return std::nullopt;
  const std::span<const double> counted = mgups.subspan(1);
  const double median = median_of(std::vector<double>(counted.begin(), counted.end()));
  if (!(median > 0.0) || !std::isfinite(median)) return std::nullopt;
  const double limit = median * (1.0 - kDropPercent / 100.0);

  std::optional<TimelineDrop> best;
  std::size_t s = 1;
  while (s < mgups.size()) {
    if (!(mgups[s] < limit)) {
      ++s;
      continue;
    }
    const std::size_t first = s;
    double sum = 0.0;
    while (s < mgups.size() && mgups[s] < limit) sum += mgups[s++];
    TimelineDrop drop;
    drop.from_s = first;
    drop.to_s = s;
    drop.rate = sum / static_cast<double>(s - first);
    drop.median = median;
    drop.percent_below = (1.0 - drop.rate / median) * 100.0;
    const std::size_t length = drop.to_s - drop.from_s;
    const std::size_t best_length = best ? best->to_s - best->from_s : 0;
    if (!best || length > best_length ||
        (length == best_length && drop.percent_below > best->percent_below)) {
      best = drop;
    }
  }
  return best;
}

}  // namespace brisk
