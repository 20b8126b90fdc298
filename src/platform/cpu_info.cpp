#include "platform/cpu_info.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "platform/cpu_decode.h"

namespace brisk {
namespace {

constexpr std::uint32_t kExtendedBase = 0x80000000;
constexpr std::uint32_t kBrandFirstLeaf = 0x80000002;
constexpr std::uint32_t kBrandLastLeaf = 0x80000004;
constexpr std::uint32_t kPowerManagementLeaf = 0x80000007;

}  // namespace

std::string decode_brand_string(const CpuidSource& cpu) {
  std::array<char, 48> bytes{};
  if (cpu.cpuid(kExtendedBase, 0).eax >= kBrandLastLeaf) {
    for (std::uint32_t leaf = kBrandFirstLeaf; leaf <= kBrandLastLeaf; ++leaf) {
      const CpuidRegisters r = cpu.cpuid(leaf, 0);
      const std::uint32_t words[4] = {r.eax, r.ebx, r.ecx, r.edx};
      // x86 is little-endian, so the register bytes are the characters in order.
      std::memcpy(bytes.data() + (leaf - kBrandFirstLeaf) * 16, words, 16);
    }
  }
  std::size_t length = 0;
  while (length < bytes.size() && bytes[length] != '\0') ++length;
  return std::string(bytes.data(), length);
}

CpuVendor vendor_from_brand(std::string_view brand) {
  // The brand string rather than the leaf-0 vendor id decides, so a
  // hypervisor that rewrites the vendor id does not change the verdict.
  if (brand.size() >= 5 && brand.find("Intel") != std::string_view::npos) return CpuVendor::intel;
  if (brand.size() >= 3 && brand.find("AMD") != std::string_view::npos) return CpuVendor::amd;
  return CpuVendor::unknown;
}

CpuInfo decode_cpu_info(const CpuidSource& cpu) {
  CpuInfo info;
  info.brand = decode_brand_string(cpu);
  info.vendor = vendor_from_brand(info.brand);
  const CpuidRegisters leaf1 = cpu.cpuid(1, 0);
  const std::uint32_t a = leaf1.eax;
  // The extended family is deliberately not added: the HWBOT rule and the
  // report work with the base family.
  info.family = static_cast<std::int32_t>((a >> 8) & 0xF);
  info.model = static_cast<std::int32_t>(((a >> 16) & 0xF) * 16 + ((a >> 4) & 0xF));
  info.stepping = static_cast<std::int32_t>(a & 0xF);
  const std::int32_t base_family = info.family;
  const std::int32_t base_model = static_cast<std::int32_t>((a >> 4) & 0xF);
  info.display_family =
      base_family == 0xF ? base_family + static_cast<std::int32_t>((a >> 20) & 0xFF) : base_family;
  info.display_model = (base_family == 6 || base_family == 0xF) ? info.model : base_model;
  info.hypervisor = ((leaf1.ecx >> 31) & 1) != 0;
  return info;
}

TscInfo decode_tsc_info(const CpuidSource& cpu) {
  TscInfo info;
  // A leaf above the highest one returns another leaf's data on some
  // processors, so leaf 0x80000007 is only trusted when it exists.
  if (cpu.cpuid(kExtendedBase, 0).eax >= kPowerManagementLeaf) {
    info.invariant = ((cpu.cpuid(kPowerManagementLeaf, 0).edx >> 8) & 1) != 0;
  }
  const std::uint32_t max_basic = cpu.cpuid(0, 0).eax;
  std::uint64_t denominator = 0, numerator = 0, crystal = 0, base_mhz = 0;
  if (max_basic >= 0x15) {
    const CpuidRegisters r = cpu.cpuid(0x15, 0);
    denominator = r.eax;
    numerator = r.ebx;
    crystal = r.ecx;
    info.crystal_frequency = static_cast<std::int64_t>(crystal);
  }
  if (max_basic >= 0x16) base_mhz = cpu.cpuid(0x16, 0).eax & 0xFFFF;
  if (crystal != 0 && numerator != 0 && denominator != 0) {
    // A hypervisor may report any three values; a frequency past the signed
    // range is kept at its top instead of wrapping negative.
    const std::uint64_t hz = crystal * numerator / denominator;
    info.tsc_frequency = static_cast<std::int64_t>(
        std::min<std::uint64_t>(hz, std::numeric_limits<std::int64_t>::max()));
  } else {
    info.tsc_frequency = static_cast<std::int64_t>(base_mhz * 1'000'000);
  }
  return info;
}

CpuInfo read_cpu_info() { return decode_cpu_info(hardware_cpuid()); }

std::string read_brand_string() { return decode_brand_string(hardware_cpuid()); }

TscInfo read_tsc_info() { return decode_tsc_info(hardware_cpuid()); }

}  // namespace brisk
