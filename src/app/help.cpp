#include "app/help.h"

#include <fmt/format.h>

#include "app/compare_command.h"
#include "app/format.h"
#include "bench/bench_config.h"
#include "memory/memory_info.h"

namespace brisk {

std::vector<std::string> grid_size_table_lines() {
  std::vector<std::string> lines;
  lines.push_back(fmt::format("{:<12}    {:>10}", "field size", "memory used per thread"));
  for (const std::uint64_t size : kGridSizes) {
    lines.push_back(fmt::format("  {:<12}    {:>12}", size, format_bytes(memory_per_thread(size))));
  }
  return lines;
}

std::vector<std::string> help_lines(const argparse::Parser& parser, std::string_view program) {
  std::vector<std::string> lines = parser.usage_lines(program);
  lines.emplace_back();
  for (std::string& line : grid_size_table_lines()) lines.push_back(std::move(line));
  lines.emplace_back(kHelpClosingNotice);
  lines.emplace_back();
  for (std::string& line : command_help_lines()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace brisk
