#include "results/record_context.h"

#include <chrono>

#include "memory/memory_info.h"
#include "brisk_version.h"
#include "platform/cpu_features.h"
#include "platform/cpu_info.h"
#include "platform/package_count.h"
#include "platform/timers.h"

namespace brisk {
namespace {

std::string now_utc() {
  const auto now = std::chrono::system_clock::now();
  return utc_iso8601(
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count());
}

std::string vendor_name(CpuVendor vendor) {
  switch (vendor) {
    case CpuVendor::intel:
      return "intel";
    case CpuVendor::amd:
      return "amd";
    case CpuVendor::unknown:
      break;
  }
  return "unknown";
}

TopologyContext topology_context(const Topology& topology) {
  TopologyContext context;
  context.packages = package_count();
  context.numa_nodes = topology.numa_nodes.size();
  for (const NumaNode& node : topology.numa_nodes) {
    for (const LastLevelCache& llc : node.llcs) {
      for (const Core& core : llc.cores) {
        ++context.cores;
        context.logical_processors += core.logicals.size();
      }
    }
  }
  return context;
}

TimerContext timer_context(const BenchConfig& config) {
  const FastTimer fast;
  const CoarseTimer coarse;
  TimerContext context;
  context.fast_source = std::string(timer_source_name(fast.source));
  context.fast_frequency_hz = display_frequency(fast);
  context.coarse_frequency_hz = display_frequency(coarse);
  context.hwbot_compliant = is_hwbot_compliant(fast);
  context.check_bypassed = config.bypass_timer_check;
  return context;
}

}  // namespace

std::vector<std::string> split_feature_list(const std::string& list) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(' ', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

ResultsRecord start_record(const std::vector<std::string>& command_line, const BenchConfig& config,
                           const SweepRequest& sweep, TopologyHolder& topology) {
  ResultsRecord record;
  record.build = {std::string(kVersion), std::string(kCompiler), std::string(kTarget)};
  record.command_line = command_line;
  record.start_time = now_utc();
  const CpuInfo cpu = read_cpu_info();
  record.machine.cpu = {cpu.brand,          vendor_name(cpu.vendor),
                        cpu.display_family, cpu.display_model,
                        cpu.stepping,       split_feature_list(feature_list()),
                        cpu.hypervisor};
  record.machine.topology = topology_context(topology.get());
  record.machine.total_memory = total_physical_memory();
  record.machine.available_memory = available_physical_memory();
  record.machine.os = read_os_info();
  record.machine.pages = {transparent_huge_pages_mode(), system_huge_page_size()};
  record.timers = timer_context(config);
  record.settings = config;
  record.sweep = {sweep.variable, sweep.option, sweep.sub_runs, {}};
  return record;
}

void finish_record(ResultsRecord& record) {
  record.end_time = now_utc();
  record.finished = true;
}

}  // namespace brisk
