#include "app/validation.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

#include "solver/workload_factory.h"

namespace brisk {

std::optional<std::string> validate_settings(const BenchConfig& config) {
  if (std::find(kGridSizes.begin(), kGridSizes.end(), config.size) == kGridSizes.end()) {
    return fmt::format("Invalid size '{}', must be one of: {}", config.size, kGridSizeList);
  }
  if (!is_valid_workload(config.workload)) {
    return fmt::format("Invalid workload name '{}', must be one of: {}", config.workload,
                       kWorkloadList);
  }
  if (!is_valid_isa(config.isa)) {
    return fmt::format("Invalid isa name '{}', must be one of: {}", config.isa, kIsaList);
  }
  return std::nullopt;
}

std::optional<std::string> check_size_overflow(std::uint64_t size) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t edge = size + 2;
  const std::uint64_t points = edge * edge * edge;  // wraps, as the guard is defined
  if (points > kMax / 32)
    return fmt::format("grid size {} would overflow memory calculation", size);
  if (size != 0 && size > kMax / size) {
    return fmt::format("grid size {} would overflow slice buffer", size);
  }
  return std::nullopt;
}

}  // namespace brisk
