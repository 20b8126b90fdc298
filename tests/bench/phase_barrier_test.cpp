#include "bench/phase_barrier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "bench/bounded.h"

namespace brisk {
namespace {

// Every round, each thread checks that nobody has run ahead into the next
// round: a lost wake-up hangs (caught by the bound), a barrier that releases
// early shows up as a count out of step.
TEST(PhaseBarrier, ManyRoundsKeepFourThreadsInStep) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 3000;
  const bool in_step = test::run_bounded([] {
    PhaseBarrier barrier(kThreads);
    std::atomic<int> arrivals{0};
    std::atomic<bool> ok{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
          arrivals.fetch_add(1);
          barrier.arrive_and_wait();
          if (arrivals.load() < (round + 1) * kThreads) ok = false;
          barrier.arrive_and_wait();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    return ok.load() && arrivals.load() == kThreads * kRounds;
  });
  EXPECT_TRUE(in_step);
}

// The verdict is taken once per phase: a flag that flips right after a phase
// completed must not reach some participants of that phase and not others
// (they would part ways, and the ones going on would wait forever).
TEST(PhaseBarrier, EveryParticipantOfAPhaseGetsTheSameVerdict) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  const bool agreed = test::run_bounded([] {
    std::atomic<bool> flag{false};
    PhaseBarrier barrier(kThreads, [&flag] { return flag.load(); });
    std::vector<std::vector<bool>> verdicts(kThreads, std::vector<bool>(kRounds));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int round = 0; round < kRounds; ++round) {
          verdicts[t][round] = barrier.arrive_and_wait();
          if (round % kThreads == t) flag = !flag.load();  // races with the others' wake-up
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 1; t < kThreads; ++t) {
      if (verdicts[t] != verdicts[0]) return false;
    }
    return true;
  });
  EXPECT_TRUE(agreed);
}

TEST(PhaseBarrier, SingleParticipantNeverWaits) {
  test::run_bounded([] {
    PhaseBarrier barrier(1);
    for (int i = 0; i < 3; ++i) barrier.arrive_and_wait();
    return 0;
  });
}

TEST(PhaseBarrier, DroppingAbsentParticipantsReleasesThoseWaiting) {
  const int released = test::run_bounded([] {
    PhaseBarrier barrier(5);
    std::atomic<int> passed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&] {
        barrier.arrive_and_wait();
        passed.fetch_add(1);
        barrier.arrive_and_wait();  // the next phase expects only the two of them
        passed.fetch_add(1);
      });
    }
    // Most likely both are blocked by now; either way the three that never
    // come must not be waited for.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(passed.load(), 0);
    barrier.drop(3);
    for (std::thread& thread : threads) thread.join();
    return passed.load();
  });
  EXPECT_EQ(released, 4);
}

TEST(PhaseBarrier, DropBeforeAnyoneArrivesShrinksThePhase) {
  test::run_bounded([] {
    PhaseBarrier barrier(3);
    barrier.drop(2);
    EXPECT_EQ(barrier.expected(), 1u);
    barrier.arrive_and_wait();  // alone now
    barrier.drop(7);            // more than are left: clamps at zero
    EXPECT_EQ(barrier.expected(), 0u);
    return 0;
  });
}

}  // namespace
}  // namespace brisk
