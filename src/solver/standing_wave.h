// standing_wave: E holds a sinusoidal pattern whose discrete curl is exactly
// zero, so every step must leave E and H as they were. After every step the
// energy at sparse sample nodes is compared with the values recorded at the
// start; after the run the total energy is, and the whole grid is compared
// with the pattern bit for bit.
#pragma once

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "solver/failure_text.h"
#include "solver/field_solver.h"
#include "solver/mxcsr.h"
#include "solver/state_check.h"

namespace brisk {

// Sample nodes per axis: N / 16 - 2 (2 for N = 64), none for N below 48.
inline std::uint64_t standing_wave_samples(std::uint64_t edge) {
  const std::uint64_t n = edge >= 2 ? (edge - 2) / 16 : 0;
  return n >= 2 ? n - 2 : 0;
}
// Coordinate of sample t along an axis.
inline std::uint64_t standing_wave_node(std::uint64_t t) { return 17 + 16 * t; }

template <class Tag>
class StandingWave : public FieldSolver<Tag> {
 public:
  explicit StandingWave(std::uint32_t thread_index) : FieldSolver<Tag>(thread_index) {}
  ~StandingWave() override { release_validation_buffer(); }

  std::optional<std::string> init_fields() override {
    set_flush_to_zero();
    Grid& grid = this->grid_;
    row_.reset(new (std::nothrow) double[grid.e.edge]);
    if (row_ == nullptr) return std::string("allocation failed for validation buffer");
    fill_row(row_.get(), grid.e.edge);
    if (this->has_fields()) fill_initial_e(grid, row_.get());
    if (!update_h<Tag>(grid)) return std::string("failed to initalize H field");
    energy_init_ = total_energy<Tag>(grid);

    const std::uint64_t n = standing_wave_samples(grid.e.edge);
    release_validation_buffer();
    validation_buffer_.reset(new (std::nothrow) double[n * n * n]);
    if (validation_buffer_ == nullptr)
      return std::string("allocation failed for validation buffer");
    validation_count_ = n * n * n;
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) {
        for (std::uint64_t k = 0; k < n; ++k) {
          validation_buffer_[(i * n + j) * n + k] = node_energy<Tag>(
              grid, standing_wave_node(i), standing_wave_node(j), standing_wave_node(k));
        }
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> apply_source(std::uint64_t) override { return std::nullopt; }

  std::optional<std::string> verify_step(std::uint64_t) override {
    const Grid& grid = this->grid_;
    const std::uint64_t n = standing_wave_samples(grid.e.edge);
    if (n == 0) return std::nullopt;
    // Nothing was recorded (init_fields failed or never ran): nothing to
    // compare against, and reading the nodes would leave the buffer.
    if (validation_count_ != n * n * n) {
      return std::string("allocation failed for validation buffer");
    }
    for (std::uint64_t i = 0; i < n; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) {
        for (std::uint64_t k = 0; k < n; ++k) {
          const double init = validation_buffer_[(i * n + j) * n + k];
          const double calc = node_energy<Tag>(grid, standing_wave_node(i), standing_wave_node(j),
                                               standing_wave_node(k));
          const double ratio = std::fabs(init / calc - 1.0);
          if (std::isnan(ratio) || ratio > 1e-5) {
            return fmt::format(
                "\nnode verification failure in thread {}\ninit_val = {}\ncalc_val = {}\nratio = "
                "{}",
                this->thread_index, fixed6(init), fixed6(calc), fixed6(ratio));
          }
        }
      }
    }
    return std::nullopt;
  }

  std::optional<std::string> validate_result(std::uint64_t) override {
    const double calc = total_energy<Tag>(this->grid_);
    const double ratio = energy_init_ / calc;
    if (std::isfinite(ratio) && std::fabs(ratio - 1.0) < 0.1) return std::nullopt;
    return fmt::format(
        "\nenergy ratio failure in thread {}\nenergy_init = {}\nenergy_calc = {}\nratio = {}",
        this->thread_index, fixed6(energy_init_), fixed6(calc), fixed6(ratio));
  }

  // E must still hold its initial pattern and H must still be 0, bit for bit.
  std::optional<GridMismatch> check_state() const override {
    if (row_ == nullptr || !this->has_fields()) return std::nullopt;
    return check_row_pattern(this->grid_, row_.get());
  }

  double energy_init() const { return energy_init_; }
  const double* validation_values() const { return validation_buffer_.get(); }
  std::uint64_t validation_count() const { return validation_count_; }

 private:
  // E(x, y, z) = (sin(x k / (N + 1)), sin(y k / (N + 1)), 0, 0) on the
  // interior, k = (N / 32) * pi: x components depend on x only and y
  // components on y only, so every curl is exactly zero.
  // One value per index: the pattern is a row, so it is kept as one to
  // check the whole grid against. The outer layer's entries are 0.
  static void fill_row(double* row, std::uint64_t edge) {
    const std::uint64_t m = edge >= 2 ? (edge - 2) / 32 : 0;
    const double k = static_cast<double>(m) * 3.141592653589793;
    const double span = static_cast<double>(edge - 1);
    for (std::uint64_t i = 0; i < edge; ++i) {
      const bool inside = i >= 1 && i + 1 < edge;
      row[i] = inside ? std::sin((static_cast<double>(i) * k) / span) : 0.0;
    }
  }
  static void fill_initial_e(Grid& grid, const double* row) {
    const std::uint64_t edge = grid.e.edge;
    for (std::uint64_t x = 1; x < edge - 1; ++x) {
      for (std::uint64_t y = 1; y < edge - 1; ++y) {
        for (std::uint64_t z = 1; z < edge - 1; ++z)
          grid.e.at(x, y, z) = FieldPoint{row[x], row[y], 0.0, 0.0};
      }
    }
  }

  void release_validation_buffer() {
    validation_buffer_.reset();
    validation_count_ = 0;
  }

  double energy_init_ = 0.0;
  std::unique_ptr<double[]> validation_buffer_;
  std::uint64_t validation_count_ = 0;
  std::unique_ptr<double[]> row_;  // the initial E pattern along one axis
};

}  // namespace brisk
