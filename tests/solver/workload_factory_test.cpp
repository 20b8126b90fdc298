// Names, support checks, the factory's products and the floating-point mode
// its workloads set.
#include "solver/workload_factory.h"

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>

#include "solver/isa.h"
#include "solver/soft_gaussian.h"
#include "solver/standing_wave.h"
#include "solver_test_support.h"

namespace brisk {
namespace {

TEST(ParseIsa, ExactNamesInIndexOrder) {
  EXPECT_EQ(parse_isa("sse2")->index(), 0u);
  EXPECT_EQ(parse_isa("avx")->index(), 1u);
  EXPECT_EQ(parse_isa("avx2")->index(), 2u);
  EXPECT_EQ(parse_isa("fma")->index(), 3u);
  for (const char* name : {"SSE2", "sse2 ", " avx", "", "Fma", "avx512", "sse"}) {
    EXPECT_FALSE(parse_isa(name).has_value()) << '"' << name << '"';
    EXPECT_FALSE(is_valid_isa(name)) << '"' << name << '"';
  }
  EXPECT_TRUE(is_valid_isa("fma"));
}

TEST(IsValidWorkload, CaseSensitiveNames) {
  EXPECT_TRUE(is_valid_workload("standing_wave"));
  EXPECT_TRUE(is_valid_workload("soft_gaussian"));
  for (const char* name : {"Standing_wave", "SOFT_GAUSSIAN", "standing_wave ", "", "standing"}) {
    EXPECT_FALSE(is_valid_workload(name)) << '"' << name << '"';
  }
}

CpuFeatures features(bool avx, bool avx2, bool fma) {
  CpuFeatures f;
  f.avx = avx;
  f.avx2 = avx2;
  f.fma = fma;
  return f;
}

TEST(CheckIsaSupport, OneLinePerMissingFeature) {
  const CpuFeatures none = features(false, false, false);
  const CpuFeatures all = features(true, true, true);
  EXPECT_EQ(check_isa_support("sse2", none), std::nullopt);
  for (const char* isa : {"sse2", "avx", "avx2", "fma"}) {
    EXPECT_EQ(check_isa_support(isa, all), std::nullopt) << isa;
  }
  EXPECT_EQ(check_isa_support("avx", none), "avx support not detected\n");
  EXPECT_EQ(check_isa_support("avx2", features(true, false, true)), "avx2 support not detected\n");
  EXPECT_EQ(check_isa_support("fma", features(true, true, false)), "fma support not detected\n");
  // Only the flags an ISA really uses are tested.
  EXPECT_EQ(check_isa_support("avx2", features(false, true, false)), std::nullopt);
  // The fma kernels are compiled with -mavx2, so fma needs both flags.
  EXPECT_EQ(check_isa_support("fma", features(true, false, true)), "avx2 support not detected\n");
  EXPECT_EQ(check_isa_support("fma", none),
            "avx2 support not detected\nfma support not detected\n");
}

TEST(CheckIsaSupport, UnknownNames) {
  EXPECT_EQ(check_isa_support("avx512"), "unknown isa 'avx512'");
  EXPECT_EQ(check_isa_support("AVX", features(true, true, true)), "unknown isa 'AVX'");
  EXPECT_EQ(check_isa_support(""), "unknown isa ''");
  EXPECT_EQ(check_isa_support("sse2"), std::nullopt);  // every x86-64 processor
}

template <class Expected>
void expect_product(const char* workload, const char* isa) {
  const std::unique_ptr<Workload> made = make_workload(workload, isa, 7);
  ASSERT_NE(made, nullptr) << workload << ' ' << isa;
  EXPECT_NE(dynamic_cast<Expected*>(made.get()), nullptr) << workload << ' ' << isa;
  EXPECT_EQ(made->thread_index, 7u);
}

// We test what we think we test: each ISA name builds the class of its own
// variant, so the tests that go through the factory run that variant's code.
TEST(MakeWorkload, EachIsaBuildsItsOwnVariant) {
  expect_product<StandingWave<Sse2>>("standing_wave", "sse2");
  expect_product<StandingWave<Avx>>("standing_wave", "avx");
  expect_product<StandingWave<Avx2>>("standing_wave", "avx2");
  expect_product<StandingWave<Fma>>("standing_wave", "fma");
  expect_product<SoftGaussian<Sse2>>("soft_gaussian", "sse2");
  expect_product<SoftGaussian<Avx>>("soft_gaussian", "avx");
  expect_product<SoftGaussian<Avx2>>("soft_gaussian", "avx2");
  expect_product<SoftGaussian<Fma>>("soft_gaussian", "fma");
  const std::unique_ptr<Workload> fma = make_workload("standing_wave", "fma", 0);
  EXPECT_EQ(dynamic_cast<StandingWave<Avx2>*>(fma.get()), nullptr);
  static_assert(!std::is_same_v<StandingWave<Fma>, StandingWave<Avx2>>);
}

TEST(MakeWorkload, NullForUnknownNames) {
  EXPECT_EQ(make_workload("Standing_wave", "sse2", 0), nullptr);
  EXPECT_EQ(make_workload("standing_wave", "SSE2", 0), nullptr);
  EXPECT_EQ(make_workload("standing_wave", "avx512", 0), nullptr);
  EXPECT_EQ(make_workload("", "", 0), nullptr);
}

TEST(MakeWorkload, ConstructedWithoutStorage) {
  const std::unique_ptr<Workload> made = make_workload("soft_gaussian", "avx2", 1);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->updates_per_step(), 0u);
  EXPECT_FALSE(dynamic_cast<FieldSolver<Avx2>*>(made.get())->fields_allocated());
}

// The MXCSR that init_fields leaves on the thread that calls it, when the
// thread started with `start`. A thread of its own, so the test runner's
// thread keeps its mode; the start is set explicitly because a new thread may
// inherit its creator's MXCSR (Linux copies it), and other tests set FTZ.
std::uint32_t mxcsr_after_init(const char* workload, std::uint32_t start) {
  std::uint32_t after = 0;
  std::thread worker([&] {
    _mm_setcsr(start);
    const std::unique_ptr<Workload> made = make_workload(workload, "sse2", 0);
    if (made == nullptr) return;
    if (made->allocate_fields(FieldConfig{testing::heap(), 64, 0.01}).has_value()) return;
    if (made->init_fields().has_value()) return;
    after = _mm_getcsr();
  });
  worker.join();
  return after;
}

TEST(InitFields, OrsFlushToZeroAndDenormalsAreZeroIntoTheThreadsMxcsr) {
  // Bits 0..5 are the sticky exception flags that the arithmetic of
  // init_fields may raise (inexact); the control bits are what it sets.
  constexpr std::uint32_t kControl = ~0x3Fu;
  constexpr std::uint32_t kDefault = 0x1F80;          // every exception masked, round to nearest
  constexpr std::uint32_t kRoundTowardZero = 0x7F80;  // rounding control bits 13 and 14 set
  for (const char* workload : {"standing_wave", "soft_gaussian"}) {
    SCOPED_TRACE(workload);
    EXPECT_EQ(mxcsr_after_init(workload, kDefault) & kControl, 0x9FC0u);
    // OR-ed into the old value, never a whole new value: the rounding mode stays.
    EXPECT_EQ(mxcsr_after_init(workload, kRoundTowardZero) & kControl, 0xFFC0u);
  }
}

}  // namespace
}  // namespace brisk
