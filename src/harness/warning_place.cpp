#include "harness/warning_place.h"

#include <fmt/format.h>

namespace brisk {

std::string warning_place(const harness_settings& settings, const harness_run& point) {
  if (settings.var == "none") return {};
  return fmt::format("{} {}: ", settings.var, point.label);
}

}  // namespace brisk
