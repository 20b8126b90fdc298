// The stability check: one benchmark thread on one logical processor at a
// time, every processor of the topology in its order, each round; what every
// processor computed, and which fell behind the others.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/topology.h"
#include "solver/grid_mismatch.h"

namespace brisk {

// One logical processor to check.
struct StabilityTarget {
  std::optional<std::uint32_t> package;  // none when the system does not say
  std::uint32_t core = 0;                // the core's id in the topology
  LogicalProcessor processor;
};

// One round on one processor.
struct CoreRound {
  std::optional<double> mgups;  // none when the timed loop did not complete
  std::optional<double> clock_mhz;
  // A value whose bits differ from the exact state, found in the whole grid.
  std::optional<GridMismatch> mismatch;
  // What else went wrong: a check inside the loop, or a processor that could
  // not be used at all.
  std::optional<std::string> failure;
  bool wrong_value = false;  // the processor computed a wrong value
};

// The first round that went wrong on a processor.
struct StabilityFailure {
  std::uint32_t round = 0;  // from 1
  std::optional<GridMismatch> mismatch;
  std::string text;  // when there is no mismatch: the failure's first line
  bool wrong_value = false;
};

struct StabilityRow {
  StabilityTarget target;
  std::optional<double> mgups;  // the best round's; none when no loop completed
  std::optional<double> clock_mhz;
  std::optional<StabilityFailure> failure;
  bool slow = false;  // more than 10% below the median of the processors
};

// Every logical processor of the topology, nodes, caches, cores and their
// hardware threads in the tree's order. `package_of` names the package of a
// processor (group, number).
std::vector<StabilityTarget> stability_targets(
    const Topology& topology,
    const std::function<std::optional<std::uint32_t>(std::uint16_t, std::uint32_t)>& package_of);

// Runs `rounds` rounds, each over every target in order, with `run_round`
// (target, round from 1), and calls `round_done` after each. Goes on after a
// failure. The rows come in target order, slow ones marked.
std::vector<StabilityRow> run_stability(
    const std::vector<StabilityTarget>& targets, std::uint32_t rounds,
    const std::function<CoreRound(const StabilityTarget&, std::uint32_t)>& run_round,
    const std::function<void(const StabilityTarget&, std::uint32_t, const CoreRound&)>& round_done);

// Marks every row whose rate is more than 10% below the median rate of the
// rows that have one.
void mark_slow_rows(std::vector<StabilityRow>& rows);

// Whether any processor computed a wrong value.
bool any_wrong_value(const std::vector<StabilityRow>& rows);
// Whether any processor could not be checked for another reason.
bool any_other_failure(const std::vector<StabilityRow>& rows);

}  // namespace brisk
