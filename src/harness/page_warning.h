// The warning after the results table when transparent huge pages covered
// only part of the field memory. A large-page run is meant to be a run on
// huge pages; one where the kernel gave far fewer (memory too fragmented,
// compaction off) scores lower and must not be taken for the real thing.
#pragma once

#include <ostream>

#include "harness/harness_settings.h"

namespace brisk {

// Below this share of field memory on huge pages a transparent-huge-page run
// is not a full large-page run.
inline constexpr double kFullHugePagePercent = 90.0;

// One warning line on `err` per point where a valid run on transparent huge
// pages had less than kFullHugePagePercent of its field memory on them,
// naming the smallest share of the point.
void warn_partial_huge_pages(const harness_settings& settings, std::ostream& err);

}  // namespace brisk
