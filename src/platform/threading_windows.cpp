// Windows thread binding: one processor of one processor group.
#include <windows.h>

#include "platform/threading.h"

namespace brisk {

bool bind_current_thread(std::uint16_t group, std::uint32_t os_index) {
  if (os_index >= 64) return false;
  GROUP_AFFINITY affinity{};  // reserved members stay 0
  affinity.Mask = KAFFINITY{1} << os_index;
  affinity.Group = group;
  return SetThreadGroupAffinity(GetCurrentThread(), &affinity, nullptr) != FALSE;
}

// A new Windows thread gets the process's affinity, never its creator's, so an
// unplanned thread is unbound already.
bool unbind_current_thread() { return true; }

std::optional<ProcessorNumber> current_processor() {
  PROCESSOR_NUMBER number{};
  GetCurrentProcessorNumberEx(&number);
  return ProcessorNumber{number.Group, number.Number};
}

}  // namespace brisk
