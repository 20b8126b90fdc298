// Where a warning after the results table points: "size 128: " in a sweep,
// nothing without one (the one point needs no name).
#pragma once

#include <string>

#include "harness/harness_settings.h"

namespace brisk {

std::string warning_place(const harness_settings& settings, const harness_run& point);

}  // namespace brisk
