// Windows-only checks against the real OS (run under Wine in CI): the
// performance counter and thread binding.
#include <gtest/gtest.h>
#include <windows.h>

#include <bit>
#include <thread>
#include <vector>

#include "platform/threading.h"
#include "platform/timer_backend.h"
#include "platform/timers.h"

namespace brisk {
namespace {

TEST(WindowsBackend, FastTimerIsThePerformanceCounter) {
  LARGE_INTEGER frequency;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(FastTimer().report_frequency, frequency.QuadPart);
  EXPECT_EQ(performance_counter_frequency(), frequency.QuadPart);
  LARGE_INTEGER before;
  QueryPerformanceCounter(&before);
  const std::int64_t now = FastTimer::now();
  EXPECT_GE(now, before.QuadPart);
}

TEST(WindowsBackend, CoarseTimerIsTheTickCount) {
  const ULONGLONG ticks = GetTickCount64();
  EXPECT_GE(CoarseTimer::now(), static_cast<std::int64_t>(ticks));
  // Either query gives a tick rate; Windows ticks run between 64 and 2000 Hz.
  const std::int64_t rate = CoarseTimer().underlying_frequency;
  EXPECT_GE(rate, 64);
  EXPECT_LE(rate, 2000);
}

GROUP_AFFINITY current_affinity() {
  GROUP_AFFINITY affinity{};
  GetThreadGroupAffinity(GetCurrentThread(), &affinity);
  return affinity;
}

TEST(WindowsBackend, PlanEntriesBindTheThreadToTheirProcessor) {
  ThreadingManager manager;
  manager.plan = build_numa_plan(build_topology());
  ASSERT_FALSE(manager.plan.empty());
  for (std::uint32_t k = 0; k < manager.plan.size(); ++k) {
    PROCESSOR_NUMBER ran_on{};
    GROUP_AFFINITY affinity{};
    std::thread worker([&] {
      manager.place_current_thread(k);
      affinity = current_affinity();
      GetCurrentProcessorNumberEx(&ran_on);
    });
    worker.join();
    const LogicalProcessor& lp = manager.plan[k];
    EXPECT_EQ(affinity.Group, lp.group);
    EXPECT_EQ(affinity.Mask, KAFFINITY{1} << lp.os_index);
    EXPECT_EQ(ran_on.Group, lp.group);
    EXPECT_EQ(ran_on.Number, lp.os_index);
  }
}

TEST(WindowsBackend, GroupSpreadGivesTheThreadItsWholeGroup) {
  EXPECT_TRUE(threads_stay_in_one_group());
  const std::vector<GroupAffinity> groups = processor_groups(build_topology());
  ASSERT_FALSE(groups.empty());
  const GroupAffinity whole = groups[0];
  if (std::popcount(whole.mask) < 2) GTEST_SKIP() << "one processor in the first group";
  ThreadingManager manager;
  manager.thread_count = 2;
  manager.group_spread = {whole, whole};
  GROUP_AFFINITY affinity{};
  std::thread worker([&] {
    // Bound to one processor first, so the spread must widen it again.
    ASSERT_TRUE(bind_current_thread(whole.group, std::countr_zero(whole.mask)));
    manager.place_current_thread(1);
    affinity = current_affinity();
  });
  worker.join();
  EXPECT_EQ(affinity.Group, whole.group);
  EXPECT_EQ(affinity.Mask, static_cast<KAFFINITY>(whole.mask));
}

TEST(WindowsBackend, ThreadsBeyondThePlanStayUnbound) {
  ThreadingManager manager;
  manager.plan = build_phte_plan(build_topology());
  manager.thread_count = static_cast<std::uint32_t>(manager.plan.size()) + 4;
  GROUP_AFFINITY before{}, after{};
  std::thread worker([&] {
    before = current_affinity();
    for (std::uint32_t k = manager.plan.size(); k < manager.thread_count; ++k) {
      manager.place_current_thread(k);
    }
    after = current_affinity();
  });
  worker.join();
  EXPECT_EQ(after.Mask, before.Mask);
  EXPECT_EQ(after.Group, before.Group);
}

}  // namespace
}  // namespace brisk
