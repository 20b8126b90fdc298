#include <gtest/gtest.h>

#include <string>

#include "platform/cpu_decode.h"
#include "platform/fake_cpuid.h"

namespace brisk {
namespace {

using testing::FakeCpuid;

constexpr std::uint32_t kAll = 0xFFFFFFFF;
constexpr std::uint32_t kOsxsave = 1u << 27;
constexpr std::uint32_t kAvx = 1u << 28;
constexpr std::uint32_t kAvx10 = 1u << 19;  // leaf 7/1 EDX

const std::string kAllNames =
    "MMX SSE SSE2 SSE3 SSSE3 SSE4.1 SSE4.2 SSE4a POPCNT AES FMA RDRAND BMI1 BMI2 LZCNT XOP AVX "
    "AVX2 AVX512F AVX512BW AVX512VL AVX512DQ AVX512IFMA AVX512PF AVX512ER AVX512CD AVX512VBMI "
    "AVX512VBMI2 AVX512VNNI AVX512BITALG AVX512VPOPCNTDQ AVX512_BF16 AVX512_FP16 AVX512_4VNNIW "
    "AVX512_4FMAPS AVX512_VP2INTERSECT APX GFNI VAES VPCLMULQDQ SHA RDPID WAITPKG MOVDIRI "
    "MOVDIR64B SERIALIZE TSXLDTRK PKU OSPKE SGX CLWB CLFLUSHOPT AMX_TILE AMX_INT8 AMX_BF16 "
    "AMX_FP16 "
    "CET_IBT CET_SHSTK FSRM HRESET UINTR";

// A processor with every bit of every feature leaf set and every register
// state enabled, except AVX10 (so the AVX-512 names are listed).
FakeCpuid everything() {
  FakeCpuid cpu;
  cpu.set(0, {0x24, 0, 0, 0})
      .set(0x80000000, {0x80000008, 0, 0, 0})
      .set(1, {0, 0, kAll, kAll})
      .set(7, 0, {kAll, kAll, kAll, kAll})
      .set(7, 1, {kAll, kAll, kAll, kAll & ~kAvx10})
      .set(0x80000001, {kAll, kAll, kAll, kAll})
      .xcr0(0xE7);
  return cpu;
}

std::string list_of(const FakeCpuid& cpu) { return format_feature_list(decode_cpu_features(cpu)); }

TEST(FeatureList, ListsEveryRowInTableOrderWithApxAfterTheAvx512Group) {
  EXPECT_EQ(list_of(everything()), kAllNames);
}

TEST(FeatureList, EmptyForAProcessorWithoutFlags) {
  EXPECT_EQ(list_of(FakeCpuid{}), "");
  EXPECT_EQ(format_feature_list(CpuFeatures{}), "");
}

TEST(FeatureList, SingleFlagsHaveNoSurroundingSpaces) {
  CpuFeatures f;
  f.uintr = true;
  EXPECT_EQ(format_feature_list(f), "UINTR");
  f.mmx = true;
  EXPECT_EQ(format_feature_list(f), "MMX UINTR");
}

TEST(FeatureGating, OsxsaveClearHidesEveryWideRegisterFeature) {
  FakeCpuid cpu = everything();
  cpu.set(1, {0, 0, kAll & ~kOsxsave, kAll});
  cpu.set(7, 1, {kAll, kAll, kAll, kAll});  // AVX10 too
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_EQ(cpu.xgetbv_calls(), 0);  // XGETBV would fault without OSXSAVE
  EXPECT_FALSE(f.avx || f.avx2 || f.fma || f.gfni || f.vaes || f.vpclmulqdq);
  EXPECT_FALSE(f.avx10 || f.avx512f || f.avx512_vp2intersect || f.avx512_bf16);
  const std::string list = format_feature_list(f);
  EXPECT_EQ(list.find("AVX"), std::string::npos) << list;
  EXPECT_EQ(list.find("FMA"), std::string::npos) << list;
  EXPECT_NE(list.find("SSE4.2 SSE4a POPCNT AES RDRAND"), std::string::npos) << list;
  EXPECT_NE(list.find("XOP APX SHA"), std::string::npos) << list;
}

TEST(FeatureGating, AvxBitClearAlsoSkipsXgetbv) {
  FakeCpuid cpu = everything();
  cpu.set(1, {0, 0, kAll & ~kAvx, kAll});
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_EQ(cpu.xgetbv_calls(), 0);
  EXPECT_FALSE(f.avx2 || f.avx512f);
}

TEST(FeatureGating, AvxStateWithoutAvx512StateKeepsAvx2ButNoAvx512Name) {
  FakeCpuid cpu = everything();
  cpu.xcr0(0x7);  // x87, SSE, AVX; opmask and ZMM state off
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_TRUE(f.avx && f.avx2 && f.fma && f.gfni);
  const std::string list = format_feature_list(f);
  EXPECT_EQ(list.find("AVX512"), std::string::npos) << list;
  EXPECT_NE(list.find("AVX AVX2 APX GFNI"), std::string::npos) << list;
}

TEST(FeatureGating, PartialAvxOrAvx512StateCountsAsOff) {
  FakeCpuid cpu = everything();
  cpu.xcr0(0x3);  // YMM state missing
  EXPECT_FALSE(decode_cpu_features(cpu).avx);
  cpu.xcr0(0x67);  // ZMM high-16 state (bit 7) missing
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_TRUE(f.avx2);
  EXPECT_FALSE(f.avx512f);
}

TEST(LeafAvailability, Leaf7FlagsNeedHighestBasicLeaf7) {
  FakeCpuid cpu = everything();
  cpu.set(0, {6, 0, 0, 0});
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_FALSE(cpu.was_queried(7, 0));
  EXPECT_FALSE(cpu.was_queried(7, 1));
  EXPECT_FALSE(f.avx2 || f.bmi1 || f.apx || f.uintr || f.hreset || f.avx10);
  EXPECT_TRUE(f.avx && f.sse4_2 && f.lzcnt);
}

TEST(LeafAvailability, ExtendedFlagsNeedLeaf80000001) {
  FakeCpuid cpu = everything();
  cpu.set(0x80000000, {0x80000000, 0, 0, 0});
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_FALSE(cpu.was_queried(0x80000001));
  EXPECT_FALSE(f.sse4a || f.lzcnt || f.xop);
  EXPECT_TRUE(f.bmi1);
}

// A processor with AVX10 and AVX-512 foundation plus a few other flags.
FakeCpuid avx10_cpu(std::uint32_t max_basic, std::uint32_t leaf24_ebx) {
  FakeCpuid cpu;
  cpu.set(0, {max_basic, 0, 0, 0})
      .set(1, {0, 0, kOsxsave | kAvx, 1u << 26})
      .set(7, 0, {0, (1u << 16) | (1u << 5), 0, 0})
      .set(7, 1, {0, 0, 0, kAvx10 | (1u << 21)})
      .set(0x24, {0, leaf24_ebx, 0, 0})
      .xcr0(0xE7);
  return cpu;
}

TEST(Avx10, EntryCarriesVersionAndWidestVectorLengthAndReplacesAvx512Names) {
  const CpuFeatures f = decode_cpu_features(avx10_cpu(0x24, 1 | (7u << 16)));
  EXPECT_EQ(f.avx10_version, 1);
  EXPECT_EQ(f.avx10_vector_length, 3);
  EXPECT_TRUE(f.avx512f);  // the flag stays set; only the list hides it
  EXPECT_EQ(format_feature_list(f), "SSE2 AVX AVX2 AVX10.1-512 APX");
}

TEST(Avx10, VectorLengthCodes) {
  EXPECT_EQ(list_of(avx10_cpu(0x24, 2 | (3u << 16))), "SSE2 AVX AVX2 AVX10.2-256 APX");
  EXPECT_EQ(list_of(avx10_cpu(0x24, 2 | (1u << 16))), "SSE2 AVX AVX2 AVX10.2-128 APX");
  EXPECT_EQ(list_of(avx10_cpu(0x24, 3)), "SSE2 AVX AVX2 AVX10.3 APX");
  EXPECT_EQ(list_of(avx10_cpu(0x24, 1u << 17)), "SSE2 AVX AVX2 AVX10-256 APX");
}

TEST(Avx10, WithoutLeaf24TheEntryIsBare) {
  FakeCpuid cpu = avx10_cpu(0x23, 1 | (7u << 16));
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_FALSE(cpu.was_queried(0x24));
  EXPECT_EQ(f.avx10_version, 0);
  EXPECT_EQ(f.avx10_vector_length, 0);
  EXPECT_EQ(format_feature_list(f), "SSE2 AVX AVX2 AVX10 APX");
}

TEST(Avx10, Leaf24IsNotReadWhenAvx10IsOff) {
  FakeCpuid cpu = avx10_cpu(0x24, 1 | (7u << 16));
  cpu.xcr0(0x7);  // AVX-512 state off, so AVX10 is off
  const CpuFeatures f = decode_cpu_features(cpu);
  EXPECT_FALSE(cpu.was_queried(0x24));
  EXPECT_EQ(f.avx10_version, 0);
  EXPECT_EQ(format_feature_list(f), "SSE2 AVX AVX2 APX");
}

TEST(FeatureList, RealProcessorRegisters) {
  // The leaves of an AMD EPYC (family 17h model 31h) KVM guest; the expected
  // list agrees with the flags the Linux kernel reports for it.
  FakeCpuid cpu;
  cpu.set(0, {0x10, 0x68747541, 0x444D4163, 0x69746E65})
      .set(1, {0x00830F10, 0x00020800, 0xFFF83203, 0x178BFBFF})
      .set(7, 0, {0, 0x219C01AB, 0x00400004, 0x88000000})
      .set(0x80000000, {0x80000021, 0, 0, 0})
      .set(0x80000001, {0x00830F10, 0x40000000, 0x004003F3, 0x2FD3FBFF})
      .xcr0(0x7);
  EXPECT_EQ(list_of(cpu),
            "MMX SSE SSE2 SSE3 SSSE3 SSE4.1 SSE4.2 SSE4a POPCNT AES FMA RDRAND BMI1 BMI2 LZCNT AVX "
            "AVX2 SHA RDPID CLWB CLFLUSHOPT");
}

}  // namespace
}  // namespace brisk
