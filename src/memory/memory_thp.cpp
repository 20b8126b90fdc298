#include "memory/memory_thp.h"

namespace brisk {

std::optional<std::string> bracketed_choice(std::string_view text) {
  const std::size_t open = text.find('[');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = text.find(']', open);
  if (close == std::string_view::npos || close == open + 1) return std::nullopt;
  return std::string(text.substr(open + 1, close - open - 1));
}

bool transparent_pages_allowed(const std::optional<std::string>& mode,
                               const std::optional<std::string>& size_mode, int process_disable) {
  if ((process_disable & kThpDisabledBit) != 0 && (process_disable & kThpExceptAdvisedBit) == 0) {
    return false;
  }
  const std::optional<std::string>& in_force =
      size_mode && *size_mode != "inherit" ? size_mode : mode;
  // "always" and "madvise" both serve a region advised MADV_HUGEPAGE.
  return in_force && (*in_force == "always" || *in_force == "madvise");
}

}  // namespace brisk
