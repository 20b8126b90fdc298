// Expected ratios of source energy to grid energy for soft_gaussian, by
// iteration. Shared by every ISA variant.
#pragma once

#include <array>
#include <cstdint>

namespace brisk {

struct EnergyRatioRow {
  std::uint64_t threshold;  // the row applies to iterations above this
  double tolerance;
  double expected_ratio;
};

// Scanned from row 0 down; the first row whose threshold is below the
// iteration applies, so the order is part of the data.
inline constexpr std::array<EnergyRatioRow, 35> energy_ratio_table = {{
    {116, 0.01, 1.51904}, {100, 0.01, 1.51955}, {36, 0.025, 1.51892}, {32, 0.025, 1.5195},
    {30, 0.025, 1.51937}, {29, 0.025, 1.51921}, {28, 0.025, 1.51892}, {27, 0.025, 1.5184},
    {26, 0.025, 1.51754}, {25, 0.025, 1.51619}, {24, 0.05, 1.51418},  {23, 0.05, 1.51134},
    {22, 0.05, 1.50752},  {21, 0.05, 1.50259},  {20, 0.05, 1.49648},  {19, 0.05, 1.48919},
    {18, 0.05, 1.48077},  {17, 0.05, 1.47133},  {16, 0.05, 1.46103},  {15, 0.05, 1.45889},
    {14, 0.05, 1.45044},  {13, 0.05, 1.44206},  {12, 0.05, 1.43388},  {11, 0.05, 1.42599},
    {10, 0.05, 1.41845},  {9, 0.05, 1.41128},   {8, 0.05, 1.4045},    {7, 0.05, 1.39805},
    {6, 0.05, 1.392},     {5, 0.05, 1.38645},   {4, 0.05, 1.37989},   {3, 0.05, 1.36714},
    {2, 0.05, 1.34695},   {1, 0.05, 1.33333},   {0, 0.1, 1.33333},
}};

// Used when no row applies (iteration 0).
inline constexpr EnergyRatioRow kFallbackEnergyRatio = {0, 0.1, 1.33333};

// The row that checks iteration t.
constexpr EnergyRatioRow energy_ratio_for(std::uint64_t t) {
  for (const EnergyRatioRow& row : energy_ratio_table) {
    if (row.threshold < t) return row;
  }
  return kFallbackEnergyRatio;
}

}  // namespace brisk
