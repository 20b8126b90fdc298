// The points where a run reaches outside the engine: building workloads,
// checking the processor and the timer, and starting threads. A run uses the
// real ones by default; tests replace them to make any of them fail on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/timers.h"
#include "solver/workload.h"

namespace brisk {

struct WorkerContext;

using WorkloadFactory = std::function<std::unique_ptr<Workload>(
    std::string_view workload, std::string_view isa, std::uint32_t thread_index)>;
// Failure lines of the processor's support for an ISA (see check_isa_support).
using IsaCheck = std::function<std::optional<std::string>(std::string_view isa)>;
// Whether the processor really executes the ISA's instructions, asked only
// when the support check reported a missing feature (see
// processor_executes_isa).
using IsaProbe = std::function<bool(std::string_view isa)>;
// Whether the fast timer may be used for a result (see is_hwbot_compliant).
using TimerCheck = std::function<bool(const FastTimer& timer)>;
// Starts an operating-system thread running run_worker(context); throws
// std::system_error when the system refuses, as std::thread does.
using ThreadStarter = std::function<std::thread(const WorkerContext& context)>;
// The effective clock of the calling thread's processor in MHz, none when not
// measured (see measure_clock_mhz); a few microseconds, called inside the
// timed loop once per second.
using ClockProbe = std::function<std::optional<double>()>;

struct RunSeams {
  WorkloadFactory make_workload;
  IsaCheck check_isa;
  IsaProbe probe_isa;
  TimerCheck timer_compliant;
  ThreadStarter start_thread;
  ClockProbe measure_clock;
};

// The real workload factory, processor check and probe, HWBOT rule,
// std::thread and clock probe.
RunSeams default_run_seams();

}  // namespace brisk
