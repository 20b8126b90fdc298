// Whether the processor really executes a group of instructions, found out by
// executing them. CPUID can under-report (some virtual machines hide AVX from
// it), and running code the processor cannot execute kills the process, so
// when the feature flags and the processor may disagree, only trying decides.
#pragma once

namespace brisk {

// The instructions one probe executes.
enum class InstructionGroup {
  sse2,      // a packed double SSE2 add
  avx,       // 256-bit AVX arithmetic and a lane permute (needs the OS's YMM state too)
  avx2,      // 256-bit AVX2 integer and permute instructions
  avx2_fma,  // the AVX2 and 256-bit FMA instructions that the fma kernels use
  undefined  // ud2, which no processor executes: exercises the fault path
};

// True when the calling thread executed the group's instructions; false when
// one of them faulted as an illegal (or privileged) instruction, which is
// caught, so the probe never ends the process. Probes are serialized.
bool processor_executes(InstructionGroup group);

}  // namespace brisk
