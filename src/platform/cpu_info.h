// Processor identity, instruction-set features and time-stamp-counter facts,
// read with CPUID (and XGETBV for the operating system's register state).
// Every call executes CPUID afresh on the calling thread; nothing is cached.
#pragma once

#include <cstdint>
#include <string>

namespace brisk {

enum class CpuVendor : std::int32_t { intel = 0, amd = 1, unknown = 2 };

struct CpuInfo {
  std::string brand;                      // brand string up to its first zero byte; may be empty
  CpuVendor vendor = CpuVendor::unknown;  // decided from the brand string
  std::int32_t family = 0;                // base family of leaf 1, never extended
  std::int32_t model = 0;                 // extended model * 16 + base model
  std::int32_t stepping = 0;              // leaf 1 EAX bits 0..3
  // Family and model as the vendors number their processors (what tools and
  // data sheets show): base + extended family when the base is 0xF, the
  // extended model only for families 6 and 0xF. Zen 4 is family 0x19.
  std::int32_t display_family = 0;
  std::int32_t display_model = 0;
  bool hypervisor = false;  // leaf 1 ECX bit 31: running in a virtual machine
};

struct TscInfo {
  bool invariant = false;              // leaf 0x80000007 EDX bit 8
  std::int64_t tsc_frequency = 0;      // Hz; 0 when unknown
  std::int64_t crystal_frequency = 0;  // Hz, leaf 0x15 ECX; 0 when unknown
};

// A filled CpuInfo of the processor the calling thread runs on.
CpuInfo read_cpu_info();
// The brand string alone (same rule as CpuInfo::brand).
std::string read_brand_string();
// A filled TscInfo.
TscInfo read_tsc_info();

}  // namespace brisk
