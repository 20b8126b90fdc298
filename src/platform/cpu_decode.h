// The decoding rules behind cpu_info.h and cpu_features.h, as functions of
// the CPUID register values, so they can be checked with hand-made registers.
#pragma once

#include <string>
#include <string_view>

#include "platform/cpu_features.h"
#include "platform/cpu_info.h"
#include "platform/cpuid_source.h"

namespace brisk {

// Brand string from leaves 0x80000002..4, up to its first zero byte; empty
// when the highest extended leaf is below 0x80000004.
std::string decode_brand_string(const CpuidSource& cpu);
// Intel when the brand holds "Intel", else AMD when it holds "AMD", else unknown.
CpuVendor vendor_from_brand(std::string_view brand);
// Brand, vendor, base family and combined model of leaf 1.
CpuInfo decode_cpu_info(const CpuidSource& cpu);
// Every feature flag, gated by leaf availability and the OS register state.
CpuFeatures decode_cpu_features(const CpuidSource& cpu);
// Names of the set flags in table order, separated by single spaces.
std::string format_feature_list(const CpuFeatures& features);
// Invariant flag, crystal and time-stamp-counter frequency (leaves 0x15/0x16).
TscInfo decode_tsc_info(const CpuidSource& cpu);

}  // namespace brisk
