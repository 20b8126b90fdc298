// The probe routines (instruction_probe_code.cpp) and the bounds of their
// code, for the OS backends that turn a fault inside them into the answer 0.
#pragma once

#include <cstdint>

extern "C" {
// Each executes its instructions and returns 1. They are leaf routines that
// never touch the stack, so at a fault anywhere inside them [rsp] still holds
// the caller's return address.
int brisk_probe_sse2();
int brisk_probe_avx();
int brisk_probe_avx2();
int brisk_probe_avx2_fma();
int brisk_probe_undefined();

// The first byte of the probe code and the byte after it.
extern const char brisk_probe_code_begin[];
extern const char brisk_probe_code_end[];
// Where a fault inside a routine resumes: returns 0 to the routine's caller.
extern const char brisk_probe_fault_return[];
}

namespace brisk::probe_os {

using ProbeRoutine = int (*)();

// Whether `address` lies inside the probe routines.
inline bool inside_probe_code(std::uintptr_t address) {
  return address >= reinterpret_cast<std::uintptr_t>(brisk_probe_code_begin) &&
         address < reinterpret_cast<std::uintptr_t>(brisk_probe_code_end);
}

// The instruction a faulting probe continues at.
inline std::uintptr_t fault_return_address() {
  return reinterpret_cast<std::uintptr_t>(brisk_probe_fault_return);
}

// Calls `probe` with an illegal-instruction fault inside the probe code
// answered by returning 0 from it. Returns 0 too when the fault handler
// cannot be installed: without it, executing the probe could end the process.
int call_catching_faults(ProbeRoutine probe);

}  // namespace brisk::probe_os
