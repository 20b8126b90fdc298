// The warning about runs during which other programs took a large share of
// the processors: such a score is below what the machine can do, even when
// the sub-runs agree with each other.
#pragma once

#include <ostream>
#include <vector>

#include "bench/run_conditions.h"
#include "bench/run_outcome.h"
#include "harness/harness_settings.h"

namespace brisk {

// The conditions of a point's valid runs, numbered from 1 in the order run:
// the runs its spread is made of.
std::vector<NumberedConditions> numbered_conditions(const std::vector<RunOutcome>& results);

// One line on `err` per valid run during which other programs used more than
// kOtherLoadWarningPercent of the processors.
void warn_other_load(const harness_settings& settings, std::ostream& err);

}  // namespace brisk
