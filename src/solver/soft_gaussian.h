// soft_gaussian: an empty grid driven by a Gaussian pulse added at its
// centre before every step. The workload accounts for the energy its source
// puts in and checks, after every step, its ratio to the grid's total energy
// against the expected ratio for that iteration.
#pragma once

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "solver/energy_ratio_table.h"
#include "solver/failure_text.h"
#include "solver/field_solver.h"
#include "solver/mxcsr.h"

namespace brisk {

template <class Tag>
class SoftGaussian : public FieldSolver<Tag> {
 public:
  explicit SoftGaussian(std::uint32_t thread_index) : FieldSolver<Tag>(thread_index) {}

  std::optional<std::string> init_fields() override {
    set_flush_to_zero();
    source_e_coeff_ = this->grid_.dt;
    source_h_coeff_ = this->grid_.dt / std::sqrt(1.0);
    return std::nullopt;
  }

  // Adds the pulse g(t) = exp(-0.5 ((t - 20) / 5)^2) to E.z and H.y at the
  // centre and books the energy that changed.
  std::optional<std::string> apply_source(std::uint64_t t) override {
    if (!this->has_fields()) return std::string("field allocation failed");
    Grid& grid = this->grid_;
    const double g = std::exp(-0.5 * std::pow((static_cast<double>(t) - 20.0) / 5.0, 2.0));
    const double a = g * 200.0;
    const std::uint64_t c = grid.e.edge / 2;
    const std::uint64_t ch = grid.h.edge / 2;
    FieldPoint& e = grid.e.at(c, c, c);
    FieldPoint& h = grid.h.at(ch, ch, ch);
    const double e_before = norm2(e);
    const double h_before = norm2(h);
    e.z = e.z - a * source_e_coeff_;
    h.y = h.y - a * source_h_coeff_;
    const double e_after = norm2(e);
    const double h_after = norm2(h);
    energy_acc_ += ((e_after - e_before) * 0.5 + (h_after - h_before) * 0.5) * grid.cell_volume;
    return std::nullopt;
  }

  std::optional<std::string> verify_step(std::uint64_t t) override {
    const double calc = total_energy<Tag>(this->grid_);
    const double ratio = energy_acc_ / calc;
    if (std::isfinite(ratio)) {
      const EnergyRatioRow row = energy_ratio_for(t);
      if (row.tolerance > std::fabs(ratio - row.expected_ratio)) return std::nullopt;
    }
    return fmt::format(
        "\nenergy ratio failure in thread {}\nenergy_acc = {}\nenergy_calc = {}\nratio = {}",
        this->thread_index, fixed6(energy_acc_), fixed6(calc), fixed6(ratio));
  }

  std::optional<std::string> validate_result(std::uint64_t) override { return std::nullopt; }

  double energy_acc() const { return energy_acc_; }
  double source_e_coeff() const { return source_e_coeff_; }
  double source_h_coeff() const { return source_h_coeff_; }

 private:
  static double norm2(const FieldPoint& p) { return (p.y * p.y + p.x * p.x) + p.z * p.z; }

  double energy_acc_ = 0.0;
  double source_e_coeff_ = 0.0;
  double source_h_coeff_ = 0.0;
};

}  // namespace brisk
