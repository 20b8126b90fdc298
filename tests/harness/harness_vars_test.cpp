#include "harness/harness_vars.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace brisk {
namespace {

using Labels = std::vector<std::string>;

class HarnessVars : public ::testing::Test {
 protected:
  HarnessVars() {
    context_.config = &config_;
    context_.topology = &topology_;
    context_.perform = [this](const BenchConfig& config, TopologyHolder& topology) {
      EXPECT_EQ(&topology, &topology_);
      performed_.push_back(config);
      RunOutcome outcome;
      outcome.score = 1.0;
      outcome.valid = true;
      return outcome;
    };
  }

  static std::optional<Labels> labels(const HarnessRuns& runs) {
    if (!runs) return std::nullopt;
    Labels out;
    for (const harness_run& run : *runs) out.push_back(run.label);
    return out;
  }
  static std::vector<std::uint32_t> estimates(const HarnessRuns& runs) {
    std::vector<std::uint32_t> out;
    for (const harness_run& run : *runs) out.push_back(run.estimate_s);
    return out;
  }
  static Labels numbers(std::uint64_t first, std::uint64_t last) {
    Labels out;
    for (std::uint64_t v = first; v <= last; ++v) out.push_back(std::to_string(v));
    return out;
  }

  BenchConfig config_;
  TopologyHolder topology_{Topology{}};
  brisk_harness_context context_;
  std::vector<BenchConfig> performed_;
};

TEST_F(HarnessVars, NoneIsOnePointWithTheUnchangedSettings) {
  for (const char* text : {"", "anything at all"}) {
    const HarnessRuns runs = h_none_var::gen(text, context_);
    EXPECT_EQ(labels(runs), Labels{"none"});
    EXPECT_EQ(estimates(runs), std::vector<std::uint32_t>{30});
  }
}

TEST_F(HarnessVars, SizeTakesTableMembersByRangeOrList) {
  const Labels all = {"64",  "128", "192", "256",  "320",  "384",  "448",
                      "512", "640", "768", "1024", "2048", "4096", "8192"};
  EXPECT_EQ(labels(h_size_var::gen("", context_)), all);
  EXPECT_EQ(labels(h_size_var::gen("auto", context_)), all);
  EXPECT_EQ(labels(h_size_var::gen("64-8192:64", context_)), all);
  EXPECT_EQ(labels(h_size_var::gen("128-1024:128", context_)),
            (Labels{"128", "256", "384", "512", "640", "768", "1024"}));
  EXPECT_EQ(labels(h_size_var::gen("-512", context_)),
            (Labels{"64", "128", "192", "256", "320", "384", "448", "512"}));
  EXPECT_EQ(labels(h_size_var::gen("256-", context_)), (Labels{"256", "320", "384"}));
  EXPECT_EQ(labels(h_size_var::gen("192-384:128", context_)), (Labels{"192", "320"}));
  EXPECT_EQ(labels(h_size_var::gen("256", context_)), Labels{"256"});
  EXPECT_EQ(labels(h_size_var::gen("64,1024,64", context_)), (Labels{"64", "1024", "64"}));
  // The start is always a point; later members only when the step lands on them.
  EXPECT_EQ(labels(h_size_var::gen("128-192:1000", context_)), Labels{"128"});
  for (const char* bad : {"100", "64-100", "8192-64", "64:0", "64, 128", "64,,128", "AUTO"}) {
    EXPECT_EQ(h_size_var::gen(bad, context_), std::nullopt) << bad;
  }
  EXPECT_EQ(estimates(h_size_var::gen("64,128", context_)), (std::vector<std::uint32_t>{31, 31}));
}

TEST_F(HarnessVars, DurationDefaultsLeaveOutTheEnd) {
  const HarnessRuns runs = h_dur_var::gen("", context_);
  ASSERT_TRUE(runs);
  EXPECT_EQ(labels(runs), numbers(5, 59));
  EXPECT_EQ(runs->front().estimate_s, 6u);
  EXPECT_EQ(runs->back().estimate_s, 60u);
  EXPECT_EQ(labels(h_dur_var::gen("auto", context_)), numbers(5, 59));
}

TEST_F(HarnessVars, DurationRangesAndLists) {
  EXPECT_EQ(labels(h_dur_var::gen("10-30:10", context_)), (Labels{"10", "20", "30"}));
  EXPECT_EQ(labels(h_dur_var::gen("10-35:10", context_)), (Labels{"10", "20", "30"}));
  EXPECT_EQ(labels(h_dur_var::gen("55-", context_)), numbers(55, 60));  // the end is included
  EXPECT_EQ(labels(h_dur_var::gen("3,1,3", context_)), (Labels{"3", "1", "3"}));
  // No bound: the run clamps.
  EXPECT_EQ(labels(h_dur_var::gen("0,5000", context_)), (Labels{"0", "5000"}));
  for (const char* bad : {"30-10", "10:0", "1, 2", "x", "4294967296", "0-4294967295"}) {
    EXPECT_EQ(h_dur_var::gen(bad, context_), std::nullopt) << bad;
  }
  // The estimate cannot wrap to zero.
  EXPECT_EQ(estimates(h_dur_var::gen("4294967295", context_)),
            std::vector<std::uint32_t>{4294967295u});
}

TEST_F(HarnessVars, ThreadsCountUpToTheAutomaticCount) {
  EXPECT_EQ(labels(h_threads_var::gen("", context_, 8)), numbers(1, 7));
  EXPECT_EQ(labels(h_threads_var::gen("1-8", context_, 8)), numbers(1, 8));
  EXPECT_EQ(labels(h_threads_var::gen("-", context_, 8)), numbers(1, 8));
  EXPECT_EQ(labels(h_threads_var::gen("16", context_, 8)), Labels{"16"});
  EXPECT_EQ(labels(h_threads_var::gen("4,2", context_, 8)), (Labels{"4", "2"}));
  EXPECT_EQ(labels(h_threads_var::gen("", context_, 1)), Labels{});
  EXPECT_EQ(h_threads_var::gen("8-1", context_, 8), std::nullopt);
  EXPECT_EQ(estimates(h_threads_var::gen("2", context_, 8)), std::vector<std::uint32_t>{31});
}

TEST_F(HarnessVars, IsaNamesByRangeOrListExactly) {
  EXPECT_EQ(labels(h_isa_var::gen("", context_)), (Labels{"sse2", "avx", "avx2", "fma"}));
  EXPECT_EQ(labels(h_isa_var::gen("auto", context_)), (Labels{"sse2", "avx", "avx2", "fma"}));
  EXPECT_EQ(labels(h_isa_var::gen("avx-", context_)), (Labels{"avx", "avx2", "fma"}));
  EXPECT_EQ(labels(h_isa_var::gen("-avx2", context_)), (Labels{"sse2", "avx", "avx2"}));
  EXPECT_EQ(labels(h_isa_var::gen("avx", context_)), Labels{"avx"});
  EXPECT_EQ(labels(h_isa_var::gen("fma,sse2", context_)), (Labels{"fma", "sse2"}));
  for (const char* bad : {"AVX", "avx2-avx", "sse2-fma:1", "avx,,fma", "avx512", " sse2"}) {
    EXPECT_EQ(h_isa_var::gen(bad, context_), std::nullopt) << bad;
  }
  EXPECT_EQ(estimates(h_isa_var::gen("fma", context_)), std::vector<std::uint32_t>{30});
}

// A point reads the settings when it is performed and changes exactly one
// field of its own copy.
TEST_F(HarnessVars, PointsChangeOneFieldOfACopyTakenWhenPerformed) {
  HarnessRuns size = h_size_var::gen("128", context_);
  HarnessRuns duration = h_dur_var::gen("7", context_);
  HarnessRuns threads = h_threads_var::gen("3", context_, 8);
  HarnessRuns isa = h_isa_var::gen("fma", context_);
  HarnessRuns none = h_none_var::gen("", context_);
  config_.workload = "soft_gaussian";  // after generation
  for (HarnessRuns* runs : {&size, &duration, &threads, &isa, &none}) {
    EXPECT_TRUE((*runs)->front().run().valid);
  }
  ASSERT_EQ(performed_.size(), 5u);
  BenchConfig expected = config_;
  expected.size = 128;
  const auto same = [](const BenchConfig& a, const BenchConfig& b) {
    return a.numthreads == b.numthreads && a.duration == b.duration && a.size == b.size &&
           a.threading == b.threading && a.workload == b.workload && a.isa == b.isa &&
           a.strict_isa_check == b.strict_isa_check && a.large_pages == b.large_pages &&
           a.bypass_timer_check == b.bypass_timer_check;
  };
  EXPECT_TRUE(same(performed_[0], expected));
  expected = config_;
  expected.duration = 7;
  EXPECT_TRUE(same(performed_[1], expected));
  expected = config_;
  expected.numthreads = 3;
  EXPECT_TRUE(same(performed_[2], expected));
  expected = config_;
  expected.isa = "fma";
  EXPECT_TRUE(same(performed_[3], expected));
  EXPECT_TRUE(same(performed_[4], config_));
  EXPECT_EQ(config_.size, 192u);  // the driver's settings stay as they were
  EXPECT_EQ(config_.isa, "sse2");
}

}  // namespace
}  // namespace brisk
