// After the results table: where within a run its rate fell.
#pragma once

#include <ostream>

#include "harness/harness_settings.h"

namespace brisk {

// One warning line on `err` per valid run whose timeline has a drop
// (find_drop): the run, the seconds of its longest drop, the rate there and
// how far below the run's median second it lay, and, where brisk measured
// it, whether the clock held or moved in those seconds.
void warn_timeline_drops(const harness_settings& settings, std::ostream& err);

}  // namespace brisk
