#include "platform/clock_probe.h"

#include <algorithm>

namespace brisk {

bool plausible_clock_mhz(double mhz) { return mhz >= kMinPlausibleMhz && mhz <= kMaxPlausibleMhz; }

std::optional<double> chain_clock_mhz(std::span<const std::uint64_t> short_ticks,
                                      std::span<const std::uint64_t> long_ticks,
                                      double extra_cycles, double ticks_per_second) {
  if (short_ticks.empty() || long_ticks.empty()) return std::nullopt;
  if (!(extra_cycles > 0.0) || !(ticks_per_second > 0.0)) return std::nullopt;
  const std::uint64_t best_short = *std::min_element(short_ticks.begin(), short_ticks.end());
  const std::uint64_t best_long = *std::min_element(long_ticks.begin(), long_ticks.end());
  if (best_long <= best_short) return std::nullopt;
  const double seconds = static_cast<double>(best_long - best_short) / ticks_per_second;
  const double mhz = extra_cycles / seconds / 1e6;
  if (!plausible_clock_mhz(mhz)) return std::nullopt;
  return mhz;
}

std::optional<double> tsc_rate_between(const TickPair& first, const TickPair& last,
                                       std::int64_t fast_frequency) {
  if (fast_frequency <= 0 || last.fast <= first.fast || last.tsc <= first.tsc) {
    return std::nullopt;
  }
  const double seconds =
      static_cast<double>(last.fast - first.fast) / static_cast<double>(fast_frequency);
  return static_cast<double>(last.tsc - first.tsc) / seconds;
}

}  // namespace brisk
