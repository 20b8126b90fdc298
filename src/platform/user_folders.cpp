#include "platform/user_folders.h"

#include <chrono>

namespace brisk {

std::optional<std::string> xdg_folder(const std::optional<std::string>& xdg,
                                      const std::optional<std::string>& home,
                                      const std::string& fallback) {
  // The XDG rule: a relative or empty value is invalid and ignored.
  if (xdg && !xdg->empty() && xdg->front() == '/') return *xdg;
  if (home && !home->empty() && home->front() == '/') {
    std::string base = *home;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base == "/") base.clear();
    return base + "/" + fallback;
  }
  return std::nullopt;
}

std::int64_t unix_time_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace brisk
