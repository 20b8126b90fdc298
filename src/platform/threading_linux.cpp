// Linux thread binding: Windows' (group, bit) is cpu group * 64 + bit.
#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <vector>

#include "platform/threading.h"

namespace brisk {
namespace {

// The processors the process was allowed when it started. Linux has no
// process-wide mask, and a new thread inherits its creator's, so this is the
// only way back once the main thread has been bound to one processor.
struct OriginalAffinity {
  std::vector<cpu_set_t> sets;  // empty when the kernel did not answer
  std::size_t bytes() const { return sets.size() * sizeof(cpu_set_t); }
};

OriginalAffinity read_affinity() {
  // The kernel refuses a set smaller than its own CPU mask; grow until it fits.
  for (std::size_t count = 1; count <= 4096; count *= 2) {
    OriginalAffinity affinity{std::vector<cpu_set_t>(count)};
    if (sched_getaffinity(0, affinity.bytes(), affinity.sets.data()) == 0) return affinity;
    if (errno != EINVAL) break;
  }
  return {};
}

const OriginalAffinity& original_affinity() {
  static const OriginalAffinity affinity = read_affinity();
  return affinity;
}

// Taken while the process starts, on the main thread and before anything can
// have bound it; the function-local static above covers an earlier caller.
[[maybe_unused]] const bool affinity_taken_at_start = (original_affinity(), true);

}  // namespace

bool bind_current_thread_to_group(std::uint16_t group, std::uint64_t mask) {
  (void)original_affinity();  // never taken after a binding
  if (mask == 0) return false;
  const std::size_t first = std::size_t{group} * 64;
  const std::size_t count = first + 64;
  cpu_set_t* set = CPU_ALLOC(count);
  if (set == nullptr) return false;
  const std::size_t bytes = CPU_ALLOC_SIZE(count);
  CPU_ZERO_S(bytes, set);
  for (std::size_t bit = 0; bit < 64; ++bit) {
    if ((mask >> bit) & 1u) CPU_SET_S(first + bit, bytes, set);
  }
  const bool bound = pthread_setaffinity_np(pthread_self(), bytes, set) == 0;
  CPU_FREE(set);
  return bound;
}

// The Linux scheduler balances threads over every processor they may use; a
// "group" here is only processors numbered 64 apart, with no boundary in the
// hardware or the scheduler behind it, so binding to one would only narrow it.
bool threads_stay_in_one_group() { return false; }

bool unbind_current_thread() {
  const OriginalAffinity& affinity = original_affinity();
  if (affinity.sets.empty()) return false;
  return pthread_setaffinity_np(pthread_self(), affinity.bytes(), affinity.sets.data()) == 0;
}

std::optional<ProcessorNumber> current_processor() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return std::nullopt;
  return ProcessorNumber{static_cast<std::uint16_t>(cpu / 64),
                         static_cast<std::uint32_t>(cpu % 64)};
}

}  // namespace brisk
