#include "platform/system_counters.h"

#include <charconv>

namespace brisk {

std::optional<SystemCpuTimes> parse_proc_stat(std::string_view text, double tick_seconds) {
  // The aggregate line is "cpu " followed by the counters; "cpu0" and on are
  // the single processors.
  std::size_t start = 0;
  while (start < text.size() && text.substr(start, 4) != "cpu ") {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) return std::nullopt;
    start = end + 1;
  }
  if (start >= text.size()) return std::nullopt;
  std::string_view line = text.substr(start + 4);
  line = line.substr(0, line.find('\n'));
  std::vector<std::uint64_t> values;
  while (values.size() < 8) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) break;
    line.remove_prefix(first);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || (end != line.data() + line.size() && *end != ' ')) {
      return std::nullopt;
    }
    values.push_back(value);
    line.remove_prefix(static_cast<std::size_t>(end - line.data()));
  }
  // user nice system idle is the least every kernel has written.
  if (values.size() < 4) return std::nullopt;
  SystemCpuTimes times;
  times.tick_seconds = tick_seconds;
  for (const std::uint64_t value : values) times.total += value;
  times.idle = values[3] + (values.size() > 4 ? values[4] : 0);
  if (values.size() > 7) times.steal = values[7];
  return times;
}

}  // namespace brisk
