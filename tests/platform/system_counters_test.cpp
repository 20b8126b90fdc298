#include "platform/system_counters.h"

#include <gtest/gtest.h>

#include <vector>

namespace brisk {
namespace {

// Recorded /proc/stat texts: the aggregate "cpu" line is the one read, the
// per-processor lines after it are not.
TEST(ProcStat, TheAggregateLineInTicks) {
  struct Case {
    const char* label;
    const char* text;
    std::optional<SystemCpuTimes> expected;
  };
  const std::vector<Case> cases = {
      {"kernel with steal and guest columns",
       "cpu  4705 150 1120 16250 520 0 36 71 0 0\ncpu0 2351 75 560 8125 260 0 18 35 0 0\n",
       SystemCpuTimes{4705 + 150 + 1120 + 16250 + 520 + 0 + 36 + 71, 16250 + 520, 71, 0.01}},
      {"old kernel without steal", "cpu  100 0 50 800 50 5 5\nintr 1\n",
       SystemCpuTimes{1010, 850, std::nullopt, 0.01}},
      {"the line is not the first", "page 1 2\ncpu  1 2 3 4\n",
       SystemCpuTimes{10, 4, std::nullopt, 0.01}},
      {"per-processor lines only", "cpu0 1 2 3 4\ncpu1 1 2 3 4\n", std::nullopt},
      {"too few columns", "cpu  1 2 3\n", std::nullopt},
      {"not a number", "cpu  1 2 x 4\n", std::nullopt},
      {"negative", "cpu  1 -2 3 4\n", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::optional<SystemCpuTimes> times = parse_proc_stat(c.text, 0.01);
    ASSERT_EQ(times.has_value(), c.expected.has_value());
    if (!times) continue;
    EXPECT_EQ(times->total, c.expected->total);
    EXPECT_EQ(times->idle, c.expected->idle);
    EXPECT_EQ(times->steal, c.expected->steal);
    EXPECT_EQ(times->tick_seconds, 0.01);
  }
}

// This system's own answer: what it cannot tell is none, never a stand-in
// zero, and what it tells moves forward.
TEST(CounterSample, TheSystemAnswersWithPlausibleValues) {
  const CounterSample first = read_counter_sample({});
  const CounterSample second = read_counter_sample({});
  ASSERT_TRUE(first.system && second.system);
  ASSERT_TRUE(first.process && second.process);
  EXPECT_GT(first.system->total, 0u);
  EXPECT_LE(first.system->idle, first.system->total);
  EXPECT_GE(second.system->total, first.system->total);
  EXPECT_GE(second.process->cpu_us, first.process->cpu_us);
  for (const std::optional<double>& mhz : {first.clock.limit_mhz, first.clock.max_mhz}) {
    if (mhz) {
      EXPECT_TRUE(*mhz >= 100.0 && *mhz <= 20000.0) << *mhz;
    }
  }
}

}  // namespace
}  // namespace brisk
