#include "bench/run_seams.h"

#include "bench/run_worker.h"
#include "platform/clock_probe.h"
#include "solver/workload_factory.h"

namespace brisk {

RunSeams default_run_seams() {
  RunSeams seams;
  seams.make_workload = [](std::string_view workload, std::string_view isa,
                           std::uint32_t thread_index) {
    return make_workload(workload, isa, thread_index);
  };
  seams.check_isa = [](std::string_view isa) { return check_isa_support(isa); };
  seams.probe_isa = [](std::string_view isa) { return processor_executes_isa(isa); };
  seams.timer_compliant = [](const FastTimer& timer) { return is_hwbot_compliant(timer); };
  seams.start_thread = [](const WorkerContext& context) {
    return std::thread(run_worker, context);
  };
  seams.measure_clock = [] { return measure_clock_mhz(); };
  return seams;
}

}  // namespace brisk
