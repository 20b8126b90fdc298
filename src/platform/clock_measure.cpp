// The probe itself: calibration of the time-stamp counter and the rounds of
// chains behind measure_clock_mhz.
#include <array>
#include <chrono>
#include <thread>

#include "platform/clock_chain.h"
#include "platform/clock_probe.h"
#include "platform/timer_backend.h"
#include "platform/timers.h"

namespace brisk {
namespace {

// Each round times a short and a long chain; the best of three rounds of
// each. The long add chain is 4,096 cycles longer than the short one: about
// 1 us at 4 GHz, some 2,500 ticks of a 2.6 GHz counter. A whole probe is
// about 18,000 cycles of chains, under 5 us at 4 GHz.
constexpr int kRounds = 3;

struct ChainShape {
  std::uint32_t short_blocks;
  std::uint32_t long_blocks;
  double cycles_per_instruction;
  std::uint64_t (*ticks)(std::uint32_t blocks);
};

constexpr ChainShape kAddChain{8, 40, 1.0, add_chain_ticks};
constexpr ChainShape kMultiplyChain{3, 14, 3.0, multiply_chain_ticks};

// The counter and the fast timer read as close together as the system
// allows: of a few tries, the one with the shortest window, its middle.
TickPair read_pair() {
  TickPair best;
  std::uint64_t best_window = ~std::uint64_t{0};
  for (int i = 0; i < 5; ++i) {
    const std::uint64_t before = read_tsc();
    const std::int64_t fast = FastTimer::now();
    const std::uint64_t after = read_tsc();
    if (after >= before && after - before < best_window) {
      best_window = after - before;
      best = TickPair{before + (after - before) / 2, fast};
    }
  }
  return best;
}

// 20 ms against a fast timer of 10 MHz or more: a tick of it and the reading
// window stay within about 0.01% of the rate.
double calibrate_tsc() {
  const std::int64_t fast_frequency = performance_counter_frequency();
  const TickPair first = read_pair();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const TickPair last = read_pair();
  return tsc_rate_between(first, last, fast_frequency).value_or(0.0);
}

double tsc_rate() {
  static const double rate = calibrate_tsc();
  return rate;
}

}  // namespace

void prepare_clock_probe() { (void)tsc_rate(); }

std::optional<double> measure_clock_mhz(ClockChain chain) {
  const double rate = tsc_rate();
  if (!(rate > 0.0)) return std::nullopt;
  const ChainShape& shape = chain == ClockChain::add ? kAddChain : kMultiplyChain;
  std::array<std::uint64_t, kRounds> short_ticks{};
  std::array<std::uint64_t, kRounds> long_ticks{};
  for (int round = 0; round < kRounds; ++round) {
    short_ticks[round] = shape.ticks(shape.short_blocks);
    long_ticks[round] = shape.ticks(shape.long_blocks);
  }
  const double extra_cycles = static_cast<double>(shape.long_blocks - shape.short_blocks) *
                              kChainBlock * shape.cycles_per_instruction;
  return chain_clock_mhz(short_ticks, long_ticks, extra_cycles, rate);
}

}  // namespace brisk
