// The probe routines, in assembly so that the compiler can neither move the
// instructions out of the fault-guarded range nor build them for another ISA,
// and so that the object builds at the x86-64 baseline (the assembler takes
// any instruction, whatever -m flags the compiler got).
//
// Every routine is a leaf that never touches the stack and uses only rax and
// xmm0-xmm2/ymm0-ymm2: volatile in both the System V and the Windows x64
// conventions (Windows keeps xmm6-xmm15 callee-saved). A VEX routine ends
// with vzeroupper so no SSE code after it pays for dirty upper halves. Each
// starts with endbr64 (a no-op before CET) since it is called indirectly.
//
// A fault resumes at brisk_probe_fault_return, whose ret then leaves the
// routine as its own would have: the stack, and a CET shadow stack, stay
// balanced, which rewriting rsp in the handler would not do.
#include "platform/instruction_probe_code.h"

#if defined(_WIN32)
#define BRISK_PROBE_ROUTINE(name) \
  ".globl " #name "\n.def " #name "; .scl 2; .type 32; .endef\n" #name ":\nendbr64\n"
#else
#define BRISK_PROBE_ROUTINE(name) \
  ".globl " #name "\n.type " #name ", @function\n" #name ":\nendbr64\n"
#endif

// clang-format off
asm(".text\n"
    ".p2align 4\n"
    ".globl brisk_probe_code_begin\n"
    "brisk_probe_code_begin:\n"

    BRISK_PROBE_ROUTINE(brisk_probe_sse2)
    "xorpd %xmm0, %xmm0\n"
    "addpd %xmm0, %xmm0\n"
    "movl $1, %eax\n"
    "ret\n"

    BRISK_PROBE_ROUTINE(brisk_probe_avx)
    "vxorpd %ymm0, %ymm0, %ymm0\n"
    "vaddpd %ymm0, %ymm0, %ymm1\n"
    "vperm2f128 $1, %ymm1, %ymm1, %ymm0\n"
    "vzeroupper\n"
    "movl $1, %eax\n"
    "ret\n"

    BRISK_PROBE_ROUTINE(brisk_probe_avx2)
    "vpxor %ymm0, %ymm0, %ymm0\n"
    "vpaddq %ymm0, %ymm0, %ymm1\n"
    "vpermpd $0x1b, %ymm1, %ymm0\n"
    "vpermq $0x4e, %ymm0, %ymm1\n"
    "vzeroupper\n"
    "movl $1, %eax\n"
    "ret\n"

    // The fma kernels: AVX2 may appear anywhere in them (they are built with
    // -mavx2), the curl is assembled with vperm2f128, vblendpd and vshufpd,
    // and each point is updated with vfmadd/vfnmadd on 256-bit vectors.
    BRISK_PROBE_ROUTINE(brisk_probe_avx2_fma)
    "vpxor %ymm0, %ymm0, %ymm0\n"
    "vpermpd $0x1b, %ymm0, %ymm1\n"
    "vperm2f128 $1, %ymm1, %ymm1, %ymm2\n"
    "vblendpd $0xc, %ymm1, %ymm2, %ymm2\n"
    "vshufpd $0x9, %ymm1, %ymm2, %ymm2\n"
    "vfmadd231pd %ymm0, %ymm1, %ymm2\n"
    "vfnmadd231pd %ymm0, %ymm1, %ymm2\n"
    "vzeroupper\n"
    "movl $1, %eax\n"
    "ret\n"

    BRISK_PROBE_ROUTINE(brisk_probe_undefined)
    "ud2\n"
    "movl $1, %eax\n"
    "ret\n"

    ".globl brisk_probe_fault_return\n"
    "brisk_probe_fault_return:\n"
    "xorl %eax, %eax\n"
    "ret\n"

    ".globl brisk_probe_code_end\n"
    "brisk_probe_code_end:\n");
// clang-format on
