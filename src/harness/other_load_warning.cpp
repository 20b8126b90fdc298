#include "harness/other_load_warning.h"

#include <fmt/format.h>

#include <string>

#include "harness/warning_place.h"

namespace brisk {

std::vector<NumberedConditions> numbered_conditions(const std::vector<RunOutcome>& results) {
  std::vector<NumberedConditions> runs;
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (results[i].valid) {
      runs.push_back({static_cast<std::uint32_t>(i + 1), results[i].conditions});
    }
  }
  return runs;
}

void warn_other_load(const harness_settings& settings, std::ostream& err) {
  for (const harness_run& point : settings.runs) {
    for (const NumberedConditions& run : numbered_conditions(point.results)) {
      const std::optional<double> other = run.conditions.other_load_percent;
      if (!other || *other <= kOtherLoadWarningPercent) continue;
      err << fmt::format(
                 "warning: {}run {}: other programs used {:.1f}% of the processors (over {:g}%): "
                 "its score is lower than the machine's",
                 warning_place(settings, point), run.run, *other, kOtherLoadWarningPercent)
          << std::endl;
    }
  }
}

}  // namespace brisk
