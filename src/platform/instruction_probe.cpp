#include "platform/instruction_probe.h"

#include <mutex>

#include "platform/instruction_probe_code.h"

namespace brisk {
namespace {

probe_os::ProbeRoutine routine_for(InstructionGroup group) {
  switch (group) {
    case InstructionGroup::sse2:
      return brisk_probe_sse2;
    case InstructionGroup::avx:
      return brisk_probe_avx;
    case InstructionGroup::avx2:
      return brisk_probe_avx2;
    case InstructionGroup::avx2_fma:
      return brisk_probe_avx2_fma;
    case InstructionGroup::undefined:
      break;
  }
  return brisk_probe_undefined;
}

}  // namespace

bool processor_executes(InstructionGroup group) {
  // The fault handler is process-wide: one probe at a time installs and
  // removes it.
  static std::mutex probe_mutex;
  const std::lock_guard lock(probe_mutex);
  return probe_os::call_catching_faults(routine_for(group)) == 1;
}

}  // namespace brisk
