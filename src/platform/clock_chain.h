// Dependent instruction chains timed with the time-stamp counter, in GNU
// inline assembly (g++ and MinGW alike), so the compiler can neither shorten
// nor reorder them. Every instruction of a chain waits for the one before it
// through a register, and the operand is a register, not an immediate: recent
// cores fold chains of immediate adds in the renamer and would read a clock
// several times too high.
#pragma once

#include <cstdint>

namespace brisk {

// Instructions in one block of a chain; a chain is a whole number of blocks.
inline constexpr std::uint32_t kChainBlock = 128;

// The time-stamp counter, fenced so that it is read after everything before
// it has completed.
std::uint64_t read_tsc();

// Time-stamp-counter ticks over `blocks` (at least 1) blocks of dependent
// `add reg, reg` (one cycle each on every x86-64 core).
std::uint64_t add_chain_ticks(std::uint32_t blocks);

// The same for dependent 64-bit `imul reg, reg` (three cycles each).
std::uint64_t multiply_chain_ticks(std::uint32_t blocks);

}  // namespace brisk
