#include "bench/run_messages.h"

#include <iostream>

namespace brisk {

void report_error(std::vector<std::string>& kept, std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  for (;;) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    std::cerr << line << std::endl;
    kept.emplace_back(line);
    if (end == std::string_view::npos) return;
    text.remove_prefix(end + 1);
  }
}

}  // namespace brisk
