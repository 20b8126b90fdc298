#include "harness/drop_warning.h"

#include <fmt/format.h>

#include <optional>
#include <string>

#include "bench/timeline_drop.h"
#include "harness/warning_place.h"

namespace brisk {
namespace {

// What the clock did in the dropped seconds, behind the rate; nothing where
// it was not measured.
std::string clock_clause(const RunTimeline& timeline, const TimelineDrop& drop) {
  const std::optional<DropClock> clock = drop_clock(timeline.clock_mhz, drop);
  if (!clock) return "";
  if (clock->percent_below >= kClockHeldPercent) {
    return fmt::format("; the clock fell to {:.2f} GHz, {:.0f}% below its median ({:.2f} GHz)",
                       clock->mhz / 1000.0, clock->percent_below, clock->median_mhz / 1000.0);
  }
  if (-clock->percent_below >= kClockHeldPercent) {
    return fmt::format("; the clock rose to {:.2f} GHz, {:.0f}% above its median ({:.2f} GHz)",
                       clock->mhz / 1000.0, -clock->percent_below, clock->median_mhz / 1000.0);
  }
  return fmt::format("; the clock held ({:.2f} GHz)", clock->mhz / 1000.0);
}

}  // namespace

void warn_timeline_drops(const harness_settings& settings, std::ostream& err) {
  for (const harness_run& point : settings.runs) {
    const std::string where = warning_place(settings, point);
    for (std::size_t k = 0; k < point.results.size(); ++k) {
      const RunOutcome& outcome = point.results[k];
      if (!outcome.valid) continue;
      const std::optional<TimelineDrop> drop = find_drop(outcome.timeline.mgups);
      if (!drop) continue;
      err << fmt::format(
                 "warning: {}run {}: from {} s to {} s the rate fell to {:.2f} MGups, {:.0f}% "
                 "below the run's median second ({:.2f} MGups){}",
                 where, k + 1, drop->from_s, drop->to_s, drop->rate, drop->percent_below,
                 drop->median, clock_clause(outcome.timeline, *drop))
          << std::endl;
    }
  }
}

}  // namespace brisk
