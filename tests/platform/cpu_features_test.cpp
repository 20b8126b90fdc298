#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>

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

// Every row of the feature table on its own, from a table written here
// rather than taken from the production table: a name on the wrong bit, the
// wrong register or leaf, or the wrong register-state condition shows up as
// a missing or an extra name.
enum class At { leaf1, leaf7_0, leaf7_1, ext1 };
enum class Reg { eax, ebx, ecx, edx };
enum class Cond { none, avx_state, avx512_state };

struct Row {
  const char* name;
  At at;
  Reg reg;
  int bit;
  Cond cond;
};

// clang-format off
constexpr Row kRows[] = {
    {"MMX", At::leaf1, Reg::edx, 23, Cond::none},
    {"SSE", At::leaf1, Reg::edx, 25, Cond::none},
    {"SSE2", At::leaf1, Reg::edx, 26, Cond::none},
    {"SSE3", At::leaf1, Reg::ecx, 0, Cond::none},
    {"SSSE3", At::leaf1, Reg::ecx, 9, Cond::none},
    {"SSE4.1", At::leaf1, Reg::ecx, 19, Cond::none},
    {"SSE4.2", At::leaf1, Reg::ecx, 20, Cond::none},
    {"SSE4a", At::ext1, Reg::ecx, 6, Cond::none},
    {"POPCNT", At::leaf1, Reg::ecx, 23, Cond::none},
    {"AES", At::leaf1, Reg::ecx, 25, Cond::none},
    {"FMA", At::leaf1, Reg::ecx, 12, Cond::avx_state},
    {"RDRAND", At::leaf1, Reg::ecx, 30, Cond::none},
    {"BMI1", At::leaf7_0, Reg::ebx, 3, Cond::none},
    {"BMI2", At::leaf7_0, Reg::ebx, 8, Cond::none},
    {"LZCNT", At::ext1, Reg::ecx, 5, Cond::none},
    {"XOP", At::ext1, Reg::ecx, 11, Cond::none},
    {"AVX", At::leaf1, Reg::ecx, 28, Cond::avx_state},
    {"AVX2", At::leaf7_0, Reg::ebx, 5, Cond::avx_state},
    {"AVX10", At::leaf7_1, Reg::edx, 19, Cond::avx512_state},
    {"AVX512F", At::leaf7_0, Reg::ebx, 16, Cond::avx512_state},
    {"AVX512BW", At::leaf7_0, Reg::ebx, 30, Cond::avx512_state},
    {"AVX512VL", At::leaf7_0, Reg::ebx, 31, Cond::avx512_state},
    {"AVX512DQ", At::leaf7_0, Reg::ebx, 17, Cond::avx512_state},
    {"AVX512IFMA", At::leaf7_0, Reg::ebx, 21, Cond::avx512_state},
    {"AVX512PF", At::leaf7_0, Reg::ebx, 26, Cond::avx512_state},
    {"AVX512ER", At::leaf7_0, Reg::ebx, 27, Cond::avx512_state},
    {"AVX512CD", At::leaf7_0, Reg::ebx, 28, Cond::avx512_state},
    {"AVX512VBMI", At::leaf7_0, Reg::ecx, 1, Cond::avx512_state},
    {"AVX512VBMI2", At::leaf7_0, Reg::ecx, 6, Cond::avx512_state},
    {"AVX512VNNI", At::leaf7_0, Reg::ecx, 11, Cond::avx512_state},
    {"AVX512BITALG", At::leaf7_0, Reg::ecx, 12, Cond::avx512_state},
    {"AVX512VPOPCNTDQ", At::leaf7_0, Reg::ecx, 14, Cond::avx512_state},
    {"AVX512_BF16", At::leaf7_1, Reg::eax, 5, Cond::avx512_state},
    {"AVX512_FP16", At::leaf7_0, Reg::edx, 23, Cond::avx512_state},
    {"AVX512_4VNNIW", At::leaf7_0, Reg::edx, 2, Cond::avx512_state},
    {"AVX512_4FMAPS", At::leaf7_0, Reg::edx, 3, Cond::avx512_state},
    {"AVX512_VP2INTERSECT", At::leaf7_0, Reg::edx, 8, Cond::avx512_state},
    {"APX", At::leaf7_1, Reg::edx, 21, Cond::none},
    {"GFNI", At::leaf7_0, Reg::ecx, 8, Cond::avx_state},
    {"VAES", At::leaf7_0, Reg::ecx, 9, Cond::avx_state},
    {"VPCLMULQDQ", At::leaf7_0, Reg::ecx, 10, Cond::avx_state},
    {"SHA", At::leaf7_0, Reg::ebx, 29, Cond::none},
    {"RDPID", At::leaf7_0, Reg::ecx, 22, Cond::none},
    {"WAITPKG", At::leaf7_0, Reg::ecx, 5, Cond::none},
    {"MOVDIRI", At::leaf7_0, Reg::ecx, 27, Cond::none},
    {"MOVDIR64B", At::leaf7_0, Reg::ecx, 28, Cond::none},
    {"SERIALIZE", At::leaf7_0, Reg::edx, 14, Cond::none},
    {"TSXLDTRK", At::leaf7_0, Reg::edx, 16, Cond::none},
    {"PKU", At::leaf7_0, Reg::ecx, 3, Cond::none},
    {"OSPKE", At::leaf7_0, Reg::ecx, 4, Cond::none},
    {"SGX", At::leaf7_0, Reg::ebx, 2, Cond::none},
    {"CLWB", At::leaf7_0, Reg::ebx, 24, Cond::none},
    {"CLFLUSHOPT", At::leaf7_0, Reg::ebx, 23, Cond::none},
    {"AMX_TILE", At::leaf7_0, Reg::edx, 24, Cond::none},
    {"AMX_INT8", At::leaf7_0, Reg::edx, 25, Cond::none},
    {"AMX_BF16", At::leaf7_0, Reg::edx, 22, Cond::none},
    {"AMX_FP16", At::leaf7_1, Reg::eax, 21, Cond::none},
    {"CET_IBT", At::leaf7_0, Reg::edx, 20, Cond::none},
    {"CET_SHSTK", At::leaf7_0, Reg::ecx, 7, Cond::none},
    {"FSRM", At::leaf7_0, Reg::edx, 4, Cond::none},
    {"HRESET", At::leaf7_1, Reg::eax, 22, Cond::none},
    {"UINTR", At::leaf7_0, Reg::edx, 5, Cond::none},
};
// clang-format on
static_assert(std::size(kRows) == 62);

std::uint32_t& reg_of(CpuidRegisters& r, Reg reg) {
  switch (reg) {
    case Reg::eax:
      return r.eax;
    case Reg::ebx:
      return r.ebx;
    case Reg::ecx:
      return r.ecx;
    case Reg::edx:
      return r.edx;
  }
  return r.eax;
}

// A processor whose leaves hold nothing but the bits of the register-state
// condition it is given and `row`'s bit, set or cleared (clearing AVX's own
// bit also takes away the condition that needs it).
struct RowCpu {
  const Row& row;
  bool bit_set = true;
  Cond state = Cond::none;  // the register state the OS enables
  std::uint32_t max_basic = 7;
  std::uint32_t max_extended = 0x80000001;

  FakeCpuid build() const {
    CpuidRegisters leaf1, leaf7_0, leaf7_1, ext1;
    if (state != Cond::none) leaf1.ecx = kOsxsave | kAvx;  // the AVX bit lists "AVX" too
    CpuidRegisters* target[] = {&leaf1, &leaf7_0, &leaf7_1, &ext1};
    std::uint32_t& reg = reg_of(*target[static_cast<int>(row.at)], row.reg);
    reg = bit_set ? reg | (1u << row.bit) : reg & ~(1u << row.bit);
    FakeCpuid cpu;
    cpu.set(0, {max_basic, 0, 0, 0})
        .set(0x80000000, {max_extended, 0, 0, 0})
        .set(1, leaf1)
        .set(7, 0, leaf7_0)
        .set(7, 1, leaf7_1)
        .set(0x80000001, ext1)
        .xcr0(state == Cond::avx512_state ? 0xE7
              : state == Cond::avx_state  ? 0x7
                                          : 0x1);
    return cpu;
  }
};

// The list of `row` with its condition met: its name, and "AVX" in table
// order when the condition needed the AVX bit of leaf 1.
std::string expected_with_condition(std::size_t index) {
  const Row& row = kRows[index];
  if (row.cond == Cond::none || std::string_view(row.name) == "AVX") return row.name;
  constexpr std::size_t kAvxIndex = 16;
  static_assert(std::string_view(kRows[kAvxIndex].name) == "AVX");
  return index < kAvxIndex ? std::string(row.name) + " AVX" : "AVX " + std::string(row.name);
}

TEST(FeatureTable, EveryRowOnItsOwnBitUnderItsOwnCondition) {
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    SCOPED_TRACE(row.name);
    const bool is_avx = std::string_view(row.name) == "AVX";
    const std::string condition_only = row.cond == Cond::none || is_avx ? "" : "AVX";
    // Exactly its bit, with its condition: only its name.
    EXPECT_EQ(list_of(RowCpu{row, true, row.cond}.build()), expected_with_condition(i));
    // The bit cleared: the name is gone.
    EXPECT_EQ(list_of(RowCpu{row, false, row.cond}.build()), condition_only);
    // A condition one step short (no AVX state, or AVX state without the
    // AVX-512 state): the name is gone.
    if (row.cond != Cond::none) {
      const Cond short_of = row.cond == Cond::avx512_state ? Cond::avx_state : Cond::none;
      const std::string rest = short_of == Cond::avx_state ? "AVX" : "";
      EXPECT_EQ(list_of(RowCpu{row, true, short_of}.build()), rest);
    }
    // Its leaf not reported by the highest basic or extended leaf: gone.
    if (row.at == At::leaf7_0 || row.at == At::leaf7_1) {
      RowCpu old{row, true, row.cond};
      old.max_basic = 6;
      EXPECT_EQ(list_of(old.build()), condition_only);
    } else if (row.at == At::ext1) {
      RowCpu old{row, true, row.cond};
      old.max_extended = 0x80000000;
      EXPECT_EQ(list_of(old.build()), condition_only);
    }
  }
}

}  // namespace
}  // namespace brisk
