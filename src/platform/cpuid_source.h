// The seam between the CPUID decoding rules and the processor: the rules read
// register values through CpuidSource, so tests feed them hand-made values and
// the real probes use hardware_cpuid().
#pragma once

#include <cstdint>

namespace brisk {

// The four output registers of one CPUID query.
struct CpuidRegisters {
  std::uint32_t eax = 0;
  std::uint32_t ebx = 0;
  std::uint32_t ecx = 0;
  std::uint32_t edx = 0;
};

class CpuidSource {
 public:
  virtual ~CpuidSource() = default;
  // CPUID with `leaf` in EAX and `subleaf` in ECX.
  virtual CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) const = 0;
  // XGETBV with ECX = 0 (XCR0). Only valid once CPUID reported OSXSAVE.
  virtual std::uint64_t xgetbv0() const = 0;
};

// The processor the calling thread runs on.
const CpuidSource& hardware_cpuid();

}  // namespace brisk
