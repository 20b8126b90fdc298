// SIGILL handler around one probe: a fault inside the probe code resumes at
// the fault return, so the probe returns 0.
#include <pthread.h>
#include <signal.h>
#include <ucontext.h>

#include <cstdint>

#include "platform/instruction_probe_code.h"

namespace brisk::probe_os {
namespace {

// The disposition the probe replaced; only touched under the probe mutex.
struct sigaction previous_action;

void on_illegal_instruction(int, siginfo_t*, void* context) {
  greg_t* regs = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  if (!inside_probe_code(static_cast<std::uintptr_t>(regs[REG_RIP]))) {
    // Not the probe's fault: hand the signal back to whoever had it. The
    // instruction runs again on return and faults into that disposition.
    sigaction(SIGILL, &previous_action, nullptr);
    return;
  }
  regs[REG_RIP] = static_cast<greg_t>(fault_return_address());
}

}  // namespace

int call_catching_faults(ProbeRoutine probe) {
  struct sigaction ours {};
  ours.sa_sigaction = on_illegal_instruction;
  ours.sa_flags = SA_SIGINFO;
  sigemptyset(&ours.sa_mask);
  if (sigaction(SIGILL, &ours, &previous_action) != 0) return 0;
  // A blocked SIGILL raised by a fault kills the process whatever the handler.
  sigset_t illegal;
  sigset_t previous_mask;
  sigemptyset(&illegal);
  sigaddset(&illegal, SIGILL);
  pthread_sigmask(SIG_UNBLOCK, &illegal, &previous_mask);
  const int answer = probe();
  pthread_sigmask(SIG_SETMASK, &previous_mask, nullptr);
  sigaction(SIGILL, &previous_action, nullptr);
  return answer;
}

}  // namespace brisk::probe_os
