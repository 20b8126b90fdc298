// Linux-only checks against the real OS: clock choices and thread binding.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/threading.h"
#include "platform/timer_backend.h"
#include "platform/timers.h"

namespace brisk {
namespace {

std::vector<int> allowed_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::vector<int> cpus;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
  }
  return cpus;
}

TEST(LinuxBackend, TimersAreTheRawAndCoarseMonotonicClocks) {
  EXPECT_EQ(performance_counter_frequency(), 1'000'000'000);
  EXPECT_FALSE(windows_8_or_later());
  EXPECT_FALSE(system_time_increment().has_value());
  ASSERT_TRUE(current_timer_resolution().has_value());
  // The kernel tick lies between 100 Hz and 1000 Hz.
  const std::int64_t rate = CoarseTimer().underlying_frequency;
  EXPECT_GE(rate, 100);
  EXPECT_LE(rate, 1000);
  EXPECT_TRUE(is_hwbot_compliant(FastTimer()));  // the rule is about Windows
}

TEST(LinuxBackend, TreeHoldsExactlyTheAllowedCpus) {
  std::vector<int> in_tree;
  for (const NumaNode& n : build_topology().numa_nodes)
    for (const LastLevelCache& c : n.llcs)
      for (const Core& core : c.cores)
        for (const LogicalProcessor& lp : core.logicals) {
          in_tree.push_back(static_cast<int>(lp.group) * 64 + static_cast<int>(lp.os_index));
        }
  std::sort(in_tree.begin(), in_tree.end());
  EXPECT_EQ(in_tree, allowed_cpus());
}

TEST(LinuxBackend, PlanEntriesBindTheThreadToTheirProcessor) {
  const Topology t = build_topology();
  ThreadingManager manager;
  manager.plan = build_numa_plan(t);
  ASSERT_FALSE(manager.plan.empty());
  manager.thread_count = static_cast<std::uint32_t>(manager.plan.size()) + 4;
  for (std::uint32_t k = 0; k < manager.plan.size(); ++k) {
    int ran_on = -1;
    std::thread worker([&] {
      manager.place_current_thread(k);
      ran_on = sched_getcpu();
    });
    worker.join();
    const LogicalProcessor& lp = manager.plan[k];
    EXPECT_EQ(ran_on, static_cast<int>(lp.group) * 64 + static_cast<int>(lp.os_index));
  }
}

TEST(LinuxBackend, ThreadsBeyondThePlanStayUnbound) {
  ThreadingManager manager;
  manager.plan = build_phte_plan(build_topology());
  manager.thread_count = static_cast<std::uint32_t>(manager.plan.size()) + 4;
  std::vector<int> before, after;
  std::thread worker([&] {
    before = allowed_cpus();
    for (std::uint32_t k = manager.plan.size(); k < manager.thread_count; ++k) {
      manager.place_current_thread(k);
    }
    after = allowed_cpus();
  });
  worker.join();
  EXPECT_EQ(after, before);
}

// As in a run: the calling thread is thread 0 and starts the others, and it
// keeps its binding into the next run, where new threads inherit it.
TEST(LinuxBackend, UnplannedThreadsGetTheProcessorsTheProcessStartedWith) {
  const std::vector<int> original = allowed_cpus();
  if (original.size() < 2) GTEST_SKIP() << "the process may use only one processor";
  ThreadingManager manager;
  manager.plan.resize(1);
  manager.plan[0].group = static_cast<std::uint16_t>(original[0] / 64);
  manager.plan[0].os_index = static_cast<std::uint32_t>(original[0] % 64);
  manager.thread_count = 3;
  std::vector<std::vector<int>> seen[2];  // per run, the allowed set of each thread
  std::thread run_thread([&] {
    for (auto& run : seen) {
      run.resize(manager.thread_count);
      std::vector<std::thread> others;
      for (std::uint32_t k = 1; k < manager.thread_count; ++k) {
        others.emplace_back([&, k] {
          manager.place_current_thread(k);
          run[k] = allowed_cpus();
        });
      }
      manager.place_current_thread(0);
      run[0] = allowed_cpus();
      for (std::thread& t : others) t.join();
    }
  });
  run_thread.join();
  for (std::size_t r = 0; r < 2; ++r) {
    SCOPED_TRACE("run " + std::to_string(r + 1));
    EXPECT_EQ(seen[r][0], std::vector<int>{original[0]});
    EXPECT_EQ(seen[r][1], original);
    EXPECT_EQ(seen[r][2], original);
  }
}

TEST(LinuxBackend, GroupSpreadGivesTheThreadItsWholeGroup) {
  EXPECT_FALSE(threads_stay_in_one_group());  // the scheduler spreads them itself
  std::vector<int> group_zero;
  std::uint64_t mask = 0;
  for (int cpu : allowed_cpus()) {
    if (cpu < 64) {
      group_zero.push_back(cpu);
      mask |= std::uint64_t{1} << cpu;
    }
  }
  if (group_zero.size() < 2) GTEST_SKIP() << "fewer than two processors in group 0";
  ThreadingManager manager;
  manager.thread_count = 2;
  manager.group_spread = {{0, mask}, {0, mask}};
  std::vector<int> seen;
  std::thread worker([&] {
    ASSERT_TRUE(bind_current_thread(0, static_cast<std::uint32_t>(group_zero[0])));
    manager.place_current_thread(1);
    seen = allowed_cpus();
  });
  worker.join();
  EXPECT_EQ(seen, group_zero);
}

TEST(LinuxBackend, RefusedBindingLeavesTheThreadWhereItWas) {
  std::vector<int> before, after;
  bool bound = true;
  std::thread worker([&] {
    before = allowed_cpus();
    bound = bind_current_thread(1000, 63);  // processor 64063 does not exist
    after = allowed_cpus();
  });
  worker.join();
  EXPECT_FALSE(bound);
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace brisk
