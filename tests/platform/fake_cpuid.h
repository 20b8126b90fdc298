// A CpuidSource answering from a table of hand-made register values; leaves
// not in the table read as zero, as on a processor that lacks them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "platform/cpuid_source.h"

namespace brisk::testing {

class FakeCpuid : public CpuidSource {
 public:
  FakeCpuid& set(std::uint32_t leaf, std::uint32_t subleaf, CpuidRegisters r) {
    leaves_[{leaf, subleaf}] = r;
    return *this;
  }
  FakeCpuid& set(std::uint32_t leaf, CpuidRegisters r) { return set(leaf, 0, r); }
  FakeCpuid& xcr0(std::uint64_t value) {
    xcr0_ = value;
    return *this;
  }

  CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf) const override {
    queried_.insert({leaf, subleaf});
    const auto it = leaves_.find({leaf, subleaf});
    return it == leaves_.end() ? CpuidRegisters{} : it->second;
  }
  std::uint64_t xgetbv0() const override {
    ++xgetbv_calls_;
    return xcr0_;
  }

  bool was_queried(std::uint32_t leaf, std::uint32_t subleaf = 0) const {
    return queried_.count({leaf, subleaf}) != 0;
  }
  int xgetbv_calls() const { return xgetbv_calls_; }

 private:
  std::map<std::pair<std::uint32_t, std::uint32_t>, CpuidRegisters> leaves_;
  std::uint64_t xcr0_ = 0;
  mutable std::set<std::pair<std::uint32_t, std::uint32_t>> queried_;
  mutable int xgetbv_calls_ = 0;
};

// Stores `brand` (at most 48 bytes, zero-padded) in leaves 0x80000002..4,
// little-endian as CPUID returns it, and raises the highest extended leaf.
inline FakeCpuid& set_brand(FakeCpuid& cpu, std::string_view brand) {
  std::array<char, 48> bytes{};
  std::memcpy(bytes.data(), brand.data(), std::min(brand.size(), bytes.size()));
  for (std::uint32_t i = 0; i < 3; ++i) {
    std::uint32_t words[4];
    std::memcpy(words, bytes.data() + i * 16, 16);
    cpu.set(0x80000002 + i, {words[0], words[1], words[2], words[3]});
  }
  CpuidRegisters top = cpu.cpuid(0x80000000, 0);
  top.eax = std::max<std::uint32_t>(top.eax, 0x80000004);
  return cpu.set(0x80000000, top);
}

}  // namespace brisk::testing
