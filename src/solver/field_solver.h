// The part of every workload that owns and steps the grid, one class per ISA.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "solver/grid.h"
#include "solver/kernels.h"
#include "solver/workload.h"

namespace brisk {

template <class Tag>
class FieldSolver : public Workload {
 public:
  using IsaTag = Tag;  // the ISA this class is built for

  explicit FieldSolver(std::uint32_t thread_index) : Workload(thread_index) {}
  ~FieldSolver() override { release_fields(); }

  // Builds the new grid before the old one is released, so a second call
  // briefly holds both; the new grid is installed even when its memory could
  // not be had, and the destructor releases whatever was obtained.
  std::optional<std::string> allocate_fields(const FieldConfig& config) override {
    Grid fresh(config);
    release_fields();
    grid_ = std::move(fresh);
    fields_allocated_ = true;
    if (has_fields()) return std::nullopt;
    return std::string("field allocation failed");
  }

  std::optional<std::string> step() override {
    if (!update_h<Tag>(grid_)) return fmt::format("solver H step error in thread {}", thread_index);
    if (!update_e<Tag>(grid_)) return fmt::format("solver E step error in thread {}", thread_index);
    return std::nullopt;
  }

  // Every interior point of both fields, 2 * N^3, although the sweeps write
  // (N - 1)^3 points of each.
  std::uint64_t updates_per_step() const override {
    return interior_cube(grid_.h.edge) + interior_cube(grid_.e.edge);
  }

  const Grid& grid() const { return grid_; }
  Grid& grid() { return grid_; }
  bool fields_allocated() const { return fields_allocated_; }

 protected:
  // Whether both fields hold memory.
  bool has_fields() const { return grid_.e.allocated() && grid_.h.allocated(); }

  Grid grid_;
  bool fields_allocated_ = false;

 private:
  static std::uint64_t interior_cube(std::uint64_t edge) {
    const std::uint64_t n = edge >= 2 ? edge - 2 : 0;
    return n * n * n;
  }

  // H first, then E.
  void release_fields() {
    if (!fields_allocated_) return;
    grid_.h.buffer.release();
    grid_.e.buffer.release();
    fields_allocated_ = false;
  }
};

}  // namespace brisk
