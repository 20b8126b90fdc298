// What brisk stability prints: a line per processor and round as it goes,
// and the table of every processor at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/stability.h"

namespace brisk {

// "package 0  core 1  logical processor 3: 412.35 MGups  ok", after each round.
std::string stability_round_line(const StabilityTarget& target, std::uint32_t round,
                                 std::uint32_t rounds, const CoreRound& result);

// The final table: package, core, logical processor, MGups, clock, speed and
// result, columns right-aligned but the last; then a line that says what
// "slow" means when a row is marked.
std::vector<std::string> stability_table_lines(const std::vector<StabilityRow>& rows);

}  // namespace brisk
