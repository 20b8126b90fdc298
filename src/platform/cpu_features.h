// The instruction-set feature record and its printable list.
#pragma once

#include <cstdint>
#include <string>

namespace brisk {

// One bool per feature of the feature table, named after the feature in lower
// case (for example "SSE4.1" is sse4_1, "AVX512_BF16" is avx512_bf16). Only the
// three flags below are used by the solver's support check; the platform
// implementation adds every other row of the table.
struct CpuFeatures {
  bool avx = false;
  bool avx2 = false;
  bool fma = false;
  // ... the other feature flags, in table order (see cpu_features.cpp)
  std::int32_t avx10_version = 0;        // leaf 0x24 EBX bits 0..7; 0 when unknown
  std::int32_t avx10_vector_length = 0;  // 0 none, 1 = 128, 2 = 256, 3 = 512 bits
};

// A filled CpuFeatures of the processor the calling thread runs on.
CpuFeatures read_cpu_features();
// The printable list built from a fresh read_cpu_features().
std::string feature_list();

}  // namespace brisk
