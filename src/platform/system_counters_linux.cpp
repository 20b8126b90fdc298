// Linux: /proc/stat, getrusage and cpufreq's sysfs files.
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/system_counters.h"

namespace brisk {
namespace {

std::optional<SystemCpuTimes> read_system_times() {
  std::ifstream in("/proc/stat", std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  const long hz = sysconf(_SC_CLK_TCK);
  if (hz <= 0) return std::nullopt;
  return parse_proc_stat(text.str(), 1.0 / static_cast<double>(hz));
}

std::optional<ProcessCounters> read_process_counters() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
  const auto micros = [](const timeval& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000u + static_cast<std::uint64_t>(t.tv_usec);
  };
  ProcessCounters counters;
  counters.cpu_us = micros(usage.ru_utime) + micros(usage.ru_stime);
  counters.involuntary_switches = static_cast<std::uint64_t>(usage.ru_nivcsw);
  counters.major_faults = static_cast<std::uint64_t>(usage.ru_majflt);
  return counters;
}

// One cpufreq value of a processor, in kHz; none without cpufreq.
std::optional<double> read_khz(std::uint32_t cpu, const char* name) {
  std::ifstream in("/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/" + name);
  double khz = 0.0;
  if (!(in >> khz) || khz <= 0.0) return std::nullopt;
  return khz;
}

// The mean of one cpufreq value over the processors, in MHz; none unless
// every one of them has it.
std::optional<double> mean_mhz(const std::vector<std::uint32_t>& cpus, const char* name) {
  if (cpus.empty()) return std::nullopt;
  double sum = 0.0;
  for (const std::uint32_t cpu : cpus) {
    const std::optional<double> khz = read_khz(cpu, name);
    if (!khz) return std::nullopt;
    sum += *khz;
  }
  return sum / static_cast<double>(cpus.size()) / 1000.0;
}

std::vector<std::uint32_t> allowed_processors() {
  std::vector<std::uint32_t> cpus;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) != 0) return cpus;
  for (std::uint32_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
  }
  return cpus;
}

}  // namespace

CounterSample read_counter_sample(const std::vector<std::uint32_t>& processors) {
  CounterSample sample;
  const std::vector<std::uint32_t> cpus = processors.empty() ? allowed_processors() : processors;
  sample.clock.limit_mhz = mean_mhz(cpus, "scaling_max_freq");
  sample.clock.max_mhz = mean_mhz(cpus, "cpuinfo_max_freq");
  sample.process = read_process_counters();
  sample.system = read_system_times();
  return sample;
}

}  // namespace brisk
