#include "platform/cpu_info.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "platform/cpu_decode.h"
#include "platform/fake_cpuid.h"

namespace brisk {
namespace {

using testing::FakeCpuid;
using testing::set_brand;

TEST(BrandString, ComesFromTheThreeBrandLeavesUpToTheFirstZeroByte) {
  FakeCpuid cpu;
  set_brand(cpu, std::string("  Intel(R) Core(TM) i9 \0hidden", 30));
  EXPECT_EQ(decode_brand_string(cpu), "  Intel(R) Core(TM) i9 ");  // spaces kept
}

TEST(BrandString, UsesAllFortyEightBytesWhenNoneIsZero) {
  const std::string full(48, 'x');
  FakeCpuid cpu;
  set_brand(cpu, full + "ignored");
  EXPECT_EQ(decode_brand_string(cpu), full);
}

TEST(BrandString, IsEmptyWithoutTheBrandLeaves) {
  FakeCpuid cpu;
  set_brand(cpu, "AMD Ryzen 9 7950X");
  cpu.set(0x80000000, {0x80000003, 0, 0, 0});  // leaf 0x80000004 missing
  EXPECT_EQ(decode_brand_string(cpu), "");
  EXPECT_FALSE(cpu.was_queried(0x80000002));
  EXPECT_EQ(decode_cpu_info(cpu).vendor, CpuVendor::unknown);
}

TEST(Vendor, IsDecidedFromTheBrandString) {
  EXPECT_EQ(vendor_from_brand("Intel(R) Xeon(R) Gold 6338"), CpuVendor::intel);
  EXPECT_EQ(vendor_from_brand("AMD EPYC 7B13"), CpuVendor::amd);
  EXPECT_EQ(vendor_from_brand("AMD chip by Intel"), CpuVendor::intel);  // both: Intel wins
  EXPECT_EQ(vendor_from_brand("Intel"), CpuVendor::intel);              // exactly five
  EXPECT_EQ(vendor_from_brand("AMD"), CpuVendor::amd);                  // exactly three
  EXPECT_EQ(vendor_from_brand("intel core"), CpuVendor::unknown);       // case-sensitive
  EXPECT_EQ(vendor_from_brand("amd ryzen"), CpuVendor::unknown);
  EXPECT_EQ(vendor_from_brand("VIA Nano"), CpuVendor::unknown);
  EXPECT_EQ(vendor_from_brand(""), CpuVendor::unknown);
}

TEST(Vendor, IgnoresTheLeafZeroVendorId) {
  FakeCpuid cpu;
  // "GenuineIntel" in leaf 0, but the brand names AMD.
  cpu.set(0, {0xD, 0x756E6547, 0x6C65746E, 0x49656E69});
  set_brand(cpu, "AMD EPYC");
  EXPECT_EQ(decode_cpu_info(cpu).vendor, CpuVendor::amd);
}

TEST(FamilyModel, UseBaseFamilyAndCombinedModelSteppingAndHypervisorBit) {
  FakeCpuid intel;
  intel.set(1, {0x000906EA, 0, 0x7FFAFBFF, 0});  // every ECX bit but 31 set
  const CpuInfo a = decode_cpu_info(intel);
  EXPECT_EQ(a.family, 6);
  EXPECT_EQ(a.model, 0x9E);
  EXPECT_EQ(a.stepping, 0xA);
  EXPECT_FALSE(a.hypervisor);

  FakeCpuid amd;
  amd.set(1, {0x00A20F12, 0, 0x80000000, 0});  // extended family 0xA is not added
  const CpuInfo b = decode_cpu_info(amd);
  EXPECT_EQ(b.family, 0xF);
  EXPECT_EQ(b.model, 0x21);
  EXPECT_EQ(b.stepping, 2);
  EXPECT_TRUE(b.hypervisor);
}

TEST(FamilyModel, DisplayFamilyAddsTheExtendedFamilyOnlyAboveBase15) {
  struct Case {
    std::uint32_t eax;
    std::int32_t family, model;
  };
  const Case cases[] = {
      {0x00A20F12, 0x19, 0x21},  // Zen 3: base 0xF + extended 0xA
      {0x00A60F12, 0x19, 0x61},  // Zen 4
      {0x00800F82, 0x17, 0x08},  // Zen+: base 0xF + 8
      {0x00B40F40, 0x1A, 0x44},  // Zen 5
      {0x000906EA, 6, 0x9E},     // Intel family 6 keeps its extended model
      {0x00000F41, 0xF, 0x04},   // Pentium 4: base 0xF, no extended family
      {0x00010501, 5, 0x0},      // family 5: the extended model is not part of it
  };
  for (const Case& c : cases) {
    FakeCpuid cpu;
    cpu.set(1, {c.eax, 0, 0, 0});
    const CpuInfo info = decode_cpu_info(cpu);
    EXPECT_EQ(info.display_family, c.family) << std::hex << c.eax;
    EXPECT_EQ(info.display_model, c.model) << std::hex << c.eax;
  }
}

// Highest basic leaf 0x16 with the given leaf 0x15 and 0x16 values.
FakeCpuid tsc_cpu(CpuidRegisters leaf15, std::uint32_t base_mhz) {
  FakeCpuid cpu;
  cpu.set(0, {0x16, 0, 0, 0}).set(0x15, leaf15).set(0x16, {base_mhz, 0, 0, 0});
  return cpu;
}

TEST(TscInfo, FrequencyFromCrystalRatio) {
  const TscInfo t = decode_tsc_info(tsc_cpu({2, 188, 38'400'000, 0}, 3600));
  EXPECT_EQ(t.tsc_frequency, 3'609'600'000);
  EXPECT_EQ(t.crystal_frequency, 38'400'000);
}

TEST(TscInfo, AbsurdRatioStopsAtTheTopOfTheSignedRange) {
  // 0xFFFFFFFF * 0xFFFFFFFF / 1 is past INT64_MAX; it must not wrap negative.
  const TscInfo t = decode_tsc_info(tsc_cpu({1, 0xFFFFFFFFu, 0xFFFFFFFFu, 0}, 3600));
  EXPECT_EQ(t.tsc_frequency, std::numeric_limits<std::int64_t>::max());
}

TEST(TscInfo, FallsBackToBaseFrequencyWhenTheRatioIsIncomplete) {
  const TscInfo t = decode_tsc_info(tsc_cpu({2, 300, 0, 0}, 3600));
  EXPECT_EQ(t.tsc_frequency, 3'600'000'000);
  EXPECT_EQ(t.crystal_frequency, 0);
  // Only the low 16 bits of leaf 0x16 EAX hold the base frequency.
  EXPECT_EQ(decode_tsc_info(tsc_cpu({0, 0, 0, 0}, 0xABCD0000u | 2400)).tsc_frequency,
            2'400'000'000);
}

TEST(TscInfo, IsZeroWithoutLeaves15And16) {
  FakeCpuid cpu = tsc_cpu({2, 188, 38'400'000, 0}, 3600);
  cpu.set(0, {0x14, 0, 0, 0});
  const TscInfo t = decode_tsc_info(cpu);
  EXPECT_EQ(t.tsc_frequency, 0);
  EXPECT_EQ(t.crystal_frequency, 0);
  EXPECT_FALSE(cpu.was_queried(0x15));
  EXPECT_FALSE(cpu.was_queried(0x16));
}

TEST(TscInfo, CrystalWithoutLeaf16) {
  FakeCpuid cpu = tsc_cpu({0, 0, 25'000'000, 0}, 3600);
  cpu.set(0, {0x15, 0, 0, 0});
  const TscInfo t = decode_tsc_info(cpu);
  EXPECT_EQ(t.crystal_frequency, 25'000'000);
  EXPECT_EQ(t.tsc_frequency, 0);
}

TEST(TscInfo, InvariantBitOfLeaf80000007) {
  FakeCpuid cpu;
  cpu.set(0x80000000, {0x80000008, 0, 0, 0}).set(0x80000007, {0, 0, 0, 1u << 8});
  EXPECT_TRUE(decode_tsc_info(cpu).invariant);
  cpu.set(0x80000007, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, ~(1u << 8)});
  EXPECT_FALSE(decode_tsc_info(cpu).invariant);
  // A leaf above the highest extended leaf is not trusted.
  cpu.set(0x80000000, {0x80000006, 0, 0, 0}).set(0x80000007, {0, 0, 0, 1u << 8});
  EXPECT_FALSE(decode_tsc_info(cpu).invariant);
}

}  // namespace
}  // namespace brisk
