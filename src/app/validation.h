// The checks the driver makes on parsed settings before acting on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/bench_config.h"

namespace brisk {

// The first of: grid size not an allowed size, unknown workload, unknown
// ISA, as the one-line message to print; empty when all three are valid.
std::optional<std::string> validate_settings(const BenchConfig& config);

// The guards in front of a run, for grid size N: (N + 2)^3 computed with
// wrapping 64-bit arithmetic must stay multipliable by 32, and N * N must
// fit in 64 bits. The message to print when one fails.
std::optional<std::string> check_size_overflow(std::uint64_t size);

}  // namespace brisk
