#include "bench/run_conditions.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace brisk {
namespace {

double clamp_percent(double value) { return std::clamp(value, 0.0, 100.0); }

// Later minus earlier; none when the counter went backwards (it wrapped or
// was reset), so that no negative share is ever shown.
std::optional<std::uint64_t> delta(std::uint64_t earlier, std::uint64_t later) {
  if (later < earlier) return std::nullopt;
  return later - earlier;
}

std::optional<std::uint64_t> delta(const std::optional<std::uint64_t>& earlier,
                                   const std::optional<std::uint64_t>& later) {
  if (!earlier || !later) return std::nullopt;
  return delta(*earlier, *later);
}

void add_system_figures(const CounterSample& start, const CounterSample& end, RunConditions& out) {
  if (!start.system || !end.system) return;
  const SystemCpuTimes& a = *start.system;
  const SystemCpuTimes& b = *end.system;
  const std::optional<std::uint64_t> total = delta(a.total, b.total);
  const std::optional<std::uint64_t> idle = delta(a.idle, b.idle);
  if (!total || !idle || *total == 0 || *idle > *total || b.tick_seconds <= 0.0) return;
  const std::optional<std::uint64_t> steal = delta(a.steal, b.steal);
  if (a.steal && b.steal && !steal) return;  // a backwards counter spoils the whole line
  const std::uint64_t stolen = steal.value_or(0);
  if (stolen > *total - *idle) return;
  const double all = static_cast<double>(*total);
  if (steal) out.steal_percent = clamp_percent(100.0 * static_cast<double>(stolen) / all);
  if (!start.process || !end.process) return;
  const std::optional<std::uint64_t> own = delta(start.process->cpu_us, end.process->cpu_us);
  if (!own) return;
  // The system's counters tick coarsely while brisk's own are exact, so the
  // difference may come out a little below zero on a quiet machine.
  const double busy_seconds = static_cast<double>(*total - *idle - stolen) * b.tick_seconds;
  const double other_seconds = busy_seconds - static_cast<double>(*own) * 1e-6;
  out.other_load_percent = clamp_percent(100.0 * other_seconds / (all * b.tick_seconds));
}

void add_process_figures(const CounterSample& start, const CounterSample& end, double wall_seconds,
                         std::uint32_t threads, RunConditions& out) {
  if (!start.process || !end.process) return;
  const ProcessCounters& a = *start.process;
  const ProcessCounters& b = *end.process;
  out.involuntary_switches = delta(a.involuntary_switches, b.involuntary_switches);
  out.major_faults = delta(a.major_faults, b.major_faults);
  const std::optional<std::uint64_t> own = delta(a.cpu_us, b.cpu_us);
  if (!own || threads == 0 || !(wall_seconds > 0.0)) return;
  out.on_processor_percent = clamp_percent(100.0 * static_cast<double>(*own) * 1e-6 /
                                           (wall_seconds * static_cast<double>(threads)));
}

// One run's most serious cause: its rank (lower is more serious), its size
// and its text.
struct Cause {
  int rank = 0;
  double size = 0.0;
  std::string text;
};

std::optional<Cause> run_cause(const RunConditions& c) {
  if (c.steal_percent && *c.steal_percent >= kStealCausePercent) {
    return Cause{0, *c.steal_percent, fmt::format("the hypervisor took {:.1f}%", *c.steal_percent)};
  }
  if (c.other_load_percent && *c.other_load_percent >= kOtherLoadCausePercent) {
    return Cause{
        1, *c.other_load_percent,
        fmt::format("other programs used {:.1f}% of the processors", *c.other_load_percent)};
  }
  if (c.on_processor_percent && 100.0 - *c.on_processor_percent >= kOffProcessorCausePercent) {
    const double off = 100.0 - *c.on_processor_percent;
    return Cause{2, off,
                 fmt::format("brisk's threads were off the processors {:.1f}% of the time", off)};
  }
  if (c.clock_start_mhz && c.clock_end_mhz && *c.clock_start_mhz > 0.0) {
    const double fall = 100.0 * (1.0 - *c.clock_end_mhz / *c.clock_start_mhz);
    if (fall >= kClockFallCausePercent) {
      return Cause{3, fall,
                   fmt::format("the processor clock fell from {:.2f} to {:.2f} GHz",
                               *c.clock_start_mhz / 1000.0, *c.clock_end_mhz / 1000.0)};
    }
  }
  return std::nullopt;
}

bool measured(const RunConditions& c) {
  return c.other_load_percent || c.steal_percent || c.on_processor_percent;
}

}  // namespace

std::optional<double> whole_mhz(const std::optional<double>& mhz) {
  if (!mhz) return std::nullopt;
  return std::round(*mhz);
}

RunConditions conditions_between(const CounterSample& start, const CounterSample& end,
                                 double wall_seconds, std::uint32_t threads) {
  RunConditions out;
  add_system_figures(start, end, out);
  add_process_figures(start, end, wall_seconds, threads, out);
  out.clock_limit_mhz = whole_mhz(end.clock.limit_mhz);
  out.clock_max_mhz = whole_mhz(end.clock.max_mhz);
  return out;
}

std::string noise_cause(const std::vector<NumberedConditions>& runs) {
  std::optional<Cause> worst;
  std::uint32_t worst_run = 0;
  bool any_measured = false;
  for (const NumberedConditions& run : runs) {
    any_measured = any_measured || measured(run.conditions);
    std::optional<Cause> cause = run_cause(run.conditions);
    if (!cause) continue;
    if (!worst || cause->rank < worst->rank ||
        (cause->rank == worst->rank && cause->size > worst->size)) {
      worst = std::move(cause);
      worst_run = run.run;
    }
  }
  if (worst) return fmt::format("{} during run {}", worst->text, worst_run);
  if (any_measured) {
    return "nothing on this system was busy: the cause lies outside it (a shared host, memory "
           "traffic of neighbours, limits brisk cannot read)";
  }
  return "the machine was busy or throttling";
}

std::string noisy_explanation(const std::vector<NumberedConditions>& runs) {
  return noise_cause(runs) + "; its scores are not comparable as they stand";
}

}  // namespace brisk
