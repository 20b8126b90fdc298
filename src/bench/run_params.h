// The resolved settings of one run, shared read-only by the run setup and
// every worker. Lives in run_benchmark's frame for the whole run; the views
// refer to the strings of the run's own copy of the BenchConfig.
#pragma once

#include <cstdint>
#include <string_view>

#include "memory/field_allocator.h"
#include "bench/run_seams.h"
#include "platform/threading.h"

namespace brisk {

struct RunParams {
  const FieldAllocator& allocator;            // every thread's fields come from it
  const ThreadingManager& threading_manager;  // thread_count and the placement plan
  std::string_view workload;
  std::string_view isa;
  bool strict_isa_check = false;
  std::uint32_t duration = 1;  // seconds, already clamped to 1..1000
  std::uint64_t size = 0;      // grid size N
  bool bypass_timer_check = false;
  std::string_view threading;  // manager name, for the banner
  RunSeams seams = default_run_seams();
};

}  // namespace brisk
