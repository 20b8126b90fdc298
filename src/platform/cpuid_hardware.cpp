// Executes CPUID and XGETBV for real. The same source serves every x86-64 OS.
#include <cpuid.h>

#include "platform/cpuid_source.h"

namespace brisk {
namespace {

class HardwareCpuid final : public CpuidSource {
 public:
  CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) const override {
    unsigned a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(leaf, subleaf, a, b, c, d);
    return {a, b, c, d};
  }

  std::uint64_t xgetbv0() const override {
    // Inline assembly rather than _xgetbv(): the intrinsic needs the whole
    // file built with -mxsave, which would let the compiler use XSAVE
    // instructions elsewhere.
    std::uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<std::uint64_t>(hi) << 32) | lo;
  }
};

}  // namespace

const CpuidSource& hardware_cpuid() {
  static const HardwareCpuid source;
  return source;
}

}  // namespace brisk
