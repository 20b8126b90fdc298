// Windows thread binding: one processor, or a set of them, of one processor
// group.
#include <windows.h>

#include "platform/threading.h"

namespace brisk {

bool bind_current_thread_to_group(std::uint16_t group, std::uint64_t mask) {
  if (mask == 0) return false;
  GROUP_AFFINITY affinity{};  // reserved members stay 0
  affinity.Mask = static_cast<KAFFINITY>(mask);
  affinity.Group = group;
  return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) != FALSE;
}

// Windows 10, Server 2019 and older start every thread in its process's
// group; later versions spread them, and a whole-group affinity costs them
// nothing, so every version is given the groups.
bool threads_stay_in_one_group() { return true; }

// A new Windows thread gets the process's affinity, never its creator's, so an
// unplanned thread is unbound already.
bool unbind_current_thread() { return true; }

std::optional<ProcessorNumber> current_processor() {
  PROCESSOR_NUMBER number{};
  GetCurrentProcessorNumberEx(&number);
  return ProcessorNumber{number.Group, number.Number};
}

}  // namespace brisk
