// One record of everything an invocation measured, filled as it goes: the
// program, the machine, the timers, the settings, the sweep and every run.
// Each results file is a rendering of the whole record, so every format shows
// the same values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_config.h"
#include "bench/run_outcome.h"
#include "bench/stability.h"
#include "platform/os_info.h"

namespace brisk {

struct BuildContext {
  std::string version;   // "1.2.0"
  std::string compiler;  // "GNU 12.2.0"
  std::string target;    // "x86_64-linux-gnu"
};

struct CpuContext {
  std::string brand;
  std::string vendor;  // "intel", "amd" or "unknown"
  std::int32_t family = 0;
  std::int32_t model = 0;
  std::int32_t stepping = 0;
  std::vector<std::string> features;  // as the run prints them, in order
  bool hypervisor = false;
};

struct TopologyContext {
  std::uint64_t packages = 0;
  std::uint64_t numa_nodes = 0;
  std::uint64_t cores = 0;
  std::uint64_t logical_processors = 0;
};

struct TimerContext {
  std::string fast_source;  // "TSC", "HPET", ...
  std::int64_t fast_frequency_hz = 0;
  std::int64_t coarse_frequency_hz = 0;
  bool hwbot_compliant = false;
  bool check_bypassed = false;
};

// The system's page settings that decide what field memory can get.
struct PagesContext {
  // "always", "madvise" or "never"; none where the system has no such
  // setting (Windows) or the file did not say.
  std::optional<std::string> transparent_huge_pages;
  std::uint64_t huge_page_size = 0;  // bytes; 0 when the system has none
};

struct MachineContext {
  CpuContext cpu;
  TopologyContext topology;
  std::uint64_t total_memory = 0;
  std::uint64_t available_memory = 0;
  OsInfo os;
  PagesContext pages;
};

// A finished run and where it belongs in the sweep.
struct RunRecord {
  std::size_t point_index = 0;  // into SweepRecord::points; labels may repeat
  std::uint32_t sub_run = 1;    // from 1
  RunOutcome outcome;
};

struct SweepRecord {
  std::string variable;  // "none", "size", ...
  std::string option;    // --harness-opt as given
  std::uint32_t sub_runs = 0;
  std::vector<std::string> points;  // labels in order; empty until generated
};

// A stability check (brisk stability): each logical processor in turn.
struct StabilityRecord {
  std::uint32_t rounds = 0;
  std::vector<StabilityRow> rows;  // in the topology's order
};

struct ResultsRecord {
  BuildContext build;
  std::vector<std::string> command_line;  // UTF-8, the program name first
  std::string start_time;                 // UTC, ISO 8601
  std::optional<std::string> end_time;
  bool finished = false;
  MachineContext machine;
  TimerContext timers;
  BenchConfig settings;  // as the command line gave them
  SweepRecord sweep;
  std::vector<RunRecord> runs;               // in the order performed
  std::optional<StabilityRecord> stability;  // only from brisk stability
};

// Whether some run of the record started its worker threads, valid or not:
// a run refused before (timer rule, missing ISA) made none.
bool made_a_run(const ResultsRecord& record);

// "2026-12-09T15:05:04Z" for a count of seconds since 1970 (UTC).
std::string utc_iso8601(std::int64_t seconds_since_epoch);

}  // namespace brisk
