#include "platform/clock_chain.h"

namespace brisk {

// lfence before rdtsc waits for earlier instructions to finish, lfence after
// it keeps the chain from starting before the counter is read.
#define BRISK_FENCED_TSC(reg) \
  "lfence\n\t"                \
  "rdtsc\n\t"                 \
  "lfence\n\t"                \
  "shl $32, %%rdx\n\t"        \
  "or %%rax, %%rdx\n\t"       \
  "mov %%rdx, " reg "\n\t"

// clang-format off
#define BRISK_CHAIN(instruction)                              \
  asm volatile(BRISK_FENCED_TSC("%[start]")                    \
               ".p2align 4\n"                                 \
               "1:\n\t"                                       \
               ".rept 128\n\t"                                \
               instruction " %[operand], %[value]\n\t"        \
               ".endr\n\t"                                    \
               "dec %[count]\n\t"                             \
               "jnz 1b\n\t"                                   \
               BRISK_FENCED_TSC("%[end]")                      \
               : [start] "=&r"(start), [end] "=&r"(end), [value] "+r"(value), \
                 [count] "+r"(count)                          \
               : [operand] "r"(operand)                       \
               : "rax", "rdx", "cc", "memory")
// clang-format on

static_assert(kChainBlock == 128, "the .rept count of the chains");

std::uint64_t read_tsc() {
  std::uint64_t ticks;
  asm volatile(BRISK_FENCED_TSC("%[ticks]") : [ticks] "=r"(ticks) : : "rax", "rdx", "memory");
  return ticks;
}

std::uint64_t add_chain_ticks(std::uint32_t blocks) {
  std::uint64_t start = 0, end = 0;
  std::uint64_t value = 1;
  std::uint64_t count = blocks == 0 ? 1 : blocks;
  const std::uint64_t operand = 1;
  BRISK_CHAIN("add");
  return end - start;
}

std::uint64_t multiply_chain_ticks(std::uint32_t blocks) {
  std::uint64_t start = 0, end = 0;
  std::uint64_t value = 1;
  std::uint64_t count = blocks == 0 ? 1 : blocks;
  // Multiplying by 1 keeps the value fixed; the latency does not depend on it.
  const std::uint64_t operand = 1;
  BRISK_CHAIN("imul");
  return end - start;
}

}  // namespace brisk
