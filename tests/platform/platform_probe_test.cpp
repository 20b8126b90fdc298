// Probes of the machine the tests run on: the facts every x86-64 machine
// shares, and agreement between the probes and their own decoding rules.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "platform/cpu_decode.h"
#include "platform/cpu_features.h"
#include "platform/cpu_info.h"
#include "platform/instruction_probe.h"
#include "platform/processor_records.h"
#include "platform/timer_backend.h"
#include "platform/timer_rules.h"
#include "platform/timers.h"
#include "platform/topology.h"

namespace brisk {
namespace {

TEST(MachineProbe, ProcessorIdentity) {
  const CpuInfo info = read_cpu_info();
  EXPECT_FALSE(info.brand.empty());
  EXPECT_EQ(info.brand, read_brand_string());
  EXPECT_EQ(info.vendor, vendor_from_brand(info.brand));
  EXPECT_GE(info.family, 1);
  EXPECT_LE(info.family, 0xF);
}

TEST(MachineProbe, FeatureListHoldsTheX8664Baseline) {
  const CpuFeatures f = read_cpu_features();
  EXPECT_TRUE(f.sse && f.sse2);
  const std::string list = feature_list();
  EXPECT_EQ(list.rfind("MMX SSE SSE2", 0), 0u) << list;
  EXPECT_EQ(list, format_feature_list(f));
}

// ud2 faults on every processor: the fault must come back as "no" and leave
// the process (and the next probe) working, on each OS's fault path.
TEST(MachineProbe, InstructionFaultIsCaughtAndAnswersNo) {
  EXPECT_FALSE(processor_executes(InstructionGroup::undefined));
  EXPECT_FALSE(processor_executes(InstructionGroup::undefined));
  EXPECT_TRUE(processor_executes(InstructionGroup::sse2));
}

// What CPUID reports (with the OS's register state) must really execute; a
// probe routine that faulted or clobbered state here would refuse good runs.
TEST(MachineProbe, ReportedFeaturesExecute) {
  const CpuFeatures f = read_cpu_features();
  if (!f.avx) GTEST_SKIP() << "this processor reports no AVX";
  EXPECT_TRUE(processor_executes(InstructionGroup::avx));
  if (f.avx2) {
    EXPECT_TRUE(processor_executes(InstructionGroup::avx2));
  }
  if (f.avx2 && f.fma) {
    EXPECT_TRUE(processor_executes(InstructionGroup::avx2_fma));
  }
}

TEST(MachineProbe, TreeCoreCountEqualsTheCoreRecords) {
  std::size_t core_records = 0;
  std::set<std::pair<std::uint16_t, std::uint32_t>> recorded;
  for (const ProcessorRecord& r : read_processor_records()) {
    if (r.kind != RecordKind::core) continue;
    ++core_records;
    for (const GroupMask& m : r.masks) {
      for (std::uint32_t b = 0; b < 64; ++b) {
        if ((m.mask >> b) & 1) recorded.insert({m.group, b});
      }
    }
  }
  const Topology t = build_topology();
  ASSERT_GE(core_records, 1u);
  EXPECT_EQ(t.core_count(), core_records);
  EXPECT_GE(t.perf_level_count, 1u);
  // Every recorded processor appears once in the tree.
  std::set<std::pair<std::uint16_t, std::uint32_t>> in_tree;
  std::size_t logicals = 0;
  for (const NumaNode& n : t.numa_nodes)
    for (const LastLevelCache& c : n.llcs)
      for (const Core& core : c.cores)
        for (const LogicalProcessor& lp : core.logicals) {
          in_tree.insert({lp.group, lp.os_index});
          ++logicals;
        }
  EXPECT_EQ(in_tree, recorded);
  EXPECT_EQ(logicals, recorded.size());
  EXPECT_LE(logicals, os_processor_count());
}

TEST(MachineProbe, FastTimerAdvancesAtItsClassifiedFrequency) {
  const FastTimer fast;
  EXPECT_GT(fast.report_frequency, 0);
  EXPECT_EQ(fast.report_frequency, fast.underlying_frequency);
  EXPECT_EQ(fast.source, classify_fast_timer(fast.report_frequency, read_tsc_info()));
  const std::int64_t a = FastTimer::now();
  const std::int64_t b = FastTimer::now();
  EXPECT_GE(b, a);
  EXPECT_FALSE(will_overflow(fast, b, 1002));
}

TEST(MachineProbe, CoarseTimerCountsMilliseconds) {
  const CoarseTimer coarse;
  EXPECT_EQ(coarse.report_frequency, 1000);
  EXPECT_EQ(coarse.source, TimerSource::unknown);
  EXPECT_GT(display_frequency(coarse), 0);
  const std::int64_t a = CoarseTimer::now();
  EXPECT_GT(a, 0);
  EXPECT_GE(CoarseTimer::now(), a);
}

TEST(MachineProbe, HwbotVerdictFollowsTheRule) {
  const FastTimer fast;
  EXPECT_EQ(is_hwbot_compliant(fast),
            hwbot_compliant(fast.source, read_cpu_info(), windows_8_or_later()));
}

}  // namespace
}  // namespace brisk
