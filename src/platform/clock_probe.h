// The effective clock of the processor the calling thread runs on, measured
// without privileges: a dependent chain of register-to-register instructions
// of known latency is timed with the time-stamp counter, whose rate is
// calibrated once per process against the fast timer. The arithmetic on the
// recorded chain timings is pure and lives here; the chains themselves are in
// clock_chain.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace brisk {

// A figure outside this window is no clock a processor runs at: an emulator,
// a stubbed or scaled counter. Such a measurement gives no value.
inline constexpr double kMinPlausibleMhz = 100.0;
inline constexpr double kMaxPlausibleMhz = 20000.0;

bool plausible_clock_mhz(double mhz);

// The clock from several rounds of a short and a long chain of the same
// instruction, in time-stamp-counter ticks: the best (smallest) time of each
// length, so an interruption spoils only the round it hit, and their
// difference, so the fixed cost of reading the counter cancels.
// `extra_cycles` is how many more cycles the long chain takes than the short
// one. None when the timings say nothing (no rounds, the long chain not
// longer) or the result is not plausible.
std::optional<double> chain_clock_mhz(std::span<const std::uint64_t> short_ticks,
                                      std::span<const std::uint64_t> long_ticks,
                                      double extra_cycles, double ticks_per_second);

// One reading of the time-stamp counter taken together with the fast timer.
struct TickPair {
  std::uint64_t tsc = 0;
  std::int64_t fast = 0;  // in units of the fast timer's report frequency
};

// Time-stamp-counter ticks per second between two pairs; none when either
// counter did not advance.
std::optional<double> tsc_rate_between(const TickPair& first, const TickPair& last,
                                       std::int64_t fast_frequency);

// Which chain a probe times: adds of a register (1 cycle each), or 64-bit
// multiplies (3 cycles each), the independent cross-check.
enum class ClockChain { add, multiply };

// Calibrates the time-stamp counter against the fast timer, once per
// process (about 20 ms, the first call only). Call it before threads that
// probe start timing anything; later calls return at once.
void prepare_clock_probe();

// The effective clock in MHz of the processor the calling thread runs on,
// from a few microseconds of chains; none when the measurement is not
// plausible or the counter's rate is unknown.
std::optional<double> measure_clock_mhz(ClockChain chain = ClockChain::add);

}  // namespace brisk
