// Vectored exception handler around one probe: an illegal or privileged
// instruction inside the probe code resumes at the fault return, so the probe
// returns 0.
#include <windows.h>

#include <cstdint>

#include "platform/instruction_probe_code.h"

namespace brisk::probe_os {
namespace {

LONG CALLBACK on_exception(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  CONTEXT& context = *exception->ContextRecord;
  if ((code != EXCEPTION_ILLEGAL_INSTRUCTION && code != EXCEPTION_PRIV_INSTRUCTION) ||
      !inside_probe_code(static_cast<std::uintptr_t>(context.Rip))) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  context.Rip = static_cast<DWORD64>(fault_return_address());
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

int call_catching_faults(ProbeRoutine probe) {
  // First in line, so no other vectored handler sees the probe's fault.
  void* handler = AddVectoredExceptionHandler(1, on_exception);
  if (handler == nullptr) return 0;
  const int answer = probe();
  RemoveVectoredExceptionHandler(handler);
  return answer;
}

}  // namespace brisk::probe_os
