// The per-thread simulation a benchmark worker drives. Every operation that
// can fail returns the complete failure text; an empty optional is success.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "solver/field_config.h"
#include "solver/grid_mismatch.h"

namespace brisk {

class Workload {
 public:
  explicit Workload(std::uint32_t thread_index) : thread_index(thread_index) {}
  virtual ~Workload() = default;
  Workload(const Workload&) = delete;
  Workload& operator=(const Workload&) = delete;

  // Builds the E and H fields; "field allocation failed" when memory is short.
  virtual std::optional<std::string> allocate_fields(const FieldConfig& config) = 0;
  // Sets the thread's floating-point mode and the initial state.
  virtual std::optional<std::string> init_fields() = 0;
  // Called before each step with the number of steps completed so far.
  virtual std::optional<std::string> apply_source(std::uint64_t iteration) = 0;
  // One time step: the H sweep, then the E sweep.
  virtual std::optional<std::string> step() = 0;
  // Called after each step with the iteration apply_source received.
  virtual std::optional<std::string> verify_step(std::uint64_t iteration) = 0;
  // Called once after the timed loop with the number of completed steps.
  virtual std::optional<std::string> validate_result(std::uint64_t iterations) = 0;
  // Grid-point updates one step counts for the score: 2 * N^3.
  virtual std::uint64_t updates_per_step() const = 0;
  // Compares the whole grid, bit for bit, with the state it must be in after
  // any number of steps; called once after the timed loop. None when every
  // value matches, or when the workload has no exact state to compare with.
  virtual std::optional<GridMismatch> check_state() const { return std::nullopt; }

  std::uint32_t thread_index;
};

}  // namespace brisk
