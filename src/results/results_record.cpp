#include "results/results_record.h"

#include <fmt/format.h>

#include <chrono>

namespace brisk {

std::string utc_iso8601(std::int64_t seconds_since_epoch) {
  using namespace std::chrono;
  const sys_seconds time{seconds{seconds_since_epoch}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss clock{time - day};
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                     clock.hours().count(), clock.minutes().count(), clock.seconds().count());
}

bool made_a_run(const ResultsRecord& record) {
  for (const RunRecord& run : record.runs) {
    if (run.outcome.workers_started) return true;
  }
  return false;
}

}  // namespace brisk
