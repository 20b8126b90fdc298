// The comparison as people read it in a terminal: the files, what differs
// between their machines and builds, one aligned row per file and point
// (change first, its uncertainty beside it, the verdict last), then notes on
// noisy points, unlike settings, unmatched points and too few runs.
#pragma once

#include <ostream>
#include <string>

#include "compare/comparison.h"

namespace brisk {

// Writes the whole comparison to `out`, every line ended with std::endl.
void print_comparison(const Comparison& comparison, std::ostream& out);

// "+20.00%", "-3.10%"; a change that rounds to zero is "+0.00%".
std::string change_cell(double percent);
// "0.0123", "1.000"; "<0.0001" below that.
std::string p_cell(double p);
// "threads 4", "size 64 #2" for the second point labelled 64, "none (no sweep)".
std::string point_name(const std::string& variable, const std::string& label,
                       std::uint32_t occurrence);

}  // namespace brisk
