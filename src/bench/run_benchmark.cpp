#include "bench/run_benchmark.h"

#include <utility>

#include "bench/aggregate_results.h"
#include "bench/execute_run.h"
#include "bench/run_params.h"
#include "bench/thread_count.h"
#include "memory/field_allocator.h"
#include "memory/field_pages.h"
#include "memory/memory_info.h"
#include "platform/threading.h"

namespace brisk {

RunOutcome run_benchmark(BenchConfig config, TopologyHolder& topology) {
  return run_benchmark(std::move(config), topology, default_run_seams());
}

RunOutcome run_benchmark(BenchConfig config, TopologyHolder& topology, const RunSeams& seams) {
  const std::uint32_t thread_count =
      config.numthreads != 0 ? config.numthreads : automatic_thread_count(config.size, topology);
  const ThreadingManager manager = make_threading_manager(
      config.threading, topology.get(), thread_count, threads_stay_in_one_group());

  PageTally pages;
  const FieldAllocator allocator{config.large_pages, &pages};
  // The first call in the process sets up large pages; later ones only read.
  (void)large_page_size();

  const RunParams params{allocator,
                         manager,
                         config.workload,
                         config.isa,
                         config.strict_isa_check,
                         clamp_duration(config.duration),
                         config.size,
                         config.bypass_timer_check,
                         config.threading,
                         seams};
  RunOutcome outcome = aggregate_results(execute_run(params));
  outcome.settings =
      RunSettings{manager.thread_count, params.duration, config.size,        config.threading,
                  config.workload,      config.isa,      config.large_pages, {}};
  if (const std::optional<FieldPages> got = pages.total()) {
    outcome.settings.pages = std::string(page_kind_name(got->kind));
    outcome.huge_percent = got->huge_percent();
  }
  for (ThreadOutcome& thread : outcome.threads) {
    const std::uint32_t index = thread.result.thread_index;
    if (index < manager.plan.size()) {
      thread.processor = PlacedProcessor{manager.plan[index].group, manager.plan[index].os_index};
    }
  }
  return outcome;
}

}  // namespace brisk
