// Linux thread binding: Windows' (group, bit) is cpu group * 64 + bit.
#include <pthread.h>
#include <sched.h>

#include "platform/threading.h"

namespace brisk {

bool bind_current_thread(std::uint16_t group, std::uint32_t os_index) {
  if (os_index >= 64) return false;
  const std::size_t cpu = std::size_t{group} * 64 + os_index;
  cpu_set_t* set = CPU_ALLOC(cpu + 1);
  if (set == nullptr) return false;
  const std::size_t bytes = CPU_ALLOC_SIZE(cpu + 1);
  CPU_ZERO_S(bytes, set);
  CPU_SET_S(cpu, bytes, set);
  const bool bound = pthread_setaffinity_np(pthread_self(), bytes, set) == 0;
  CPU_FREE(set);
  return bound;
}

}  // namespace brisk
