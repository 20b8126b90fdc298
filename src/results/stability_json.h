// The "stability" member of a results document: one row per logical
// processor of a stability check.
#pragma once

#include <nlohmann/json.hpp>

#include "results/results_record.h"

namespace brisk {

nlohmann::ordered_json stability_json(const StabilityRecord& stability);

}  // namespace brisk
