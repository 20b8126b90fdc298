#include "harness/page_warning.h"

#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>

#include "harness/warning_place.h"

namespace brisk {

void warn_partial_huge_pages(const harness_settings& settings, std::ostream& err) {
  for (const harness_run& point : settings.runs) {
    std::optional<double> lowest;
    for (const RunOutcome& outcome : point.results) {
      if (!outcome.valid || outcome.settings.pages != "transparent" || !outcome.huge_percent) {
        continue;
      }
      if (!lowest || *outcome.huge_percent < *lowest) lowest = outcome.huge_percent;
    }
    if (!lowest || *lowest >= kFullHugePagePercent) continue;
    // Rounded down, so a share just under the mark never reads as 90.0%.
    err << fmt::format(
               "warning: {}transparent huge pages covered {:.1f}% of the field memory (under "
               "{:g}%): the score is not comparable with a full large-page run",
               warning_place(settings, point), std::floor(*lowest * 10.0) / 10.0,
               kFullHugePagePercent)
        << std::endl;
  }
}

}  // namespace brisk
