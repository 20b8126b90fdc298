// The instruction-set feature record and its printable list.
#pragma once

#include <cstdint>
#include <string>

namespace brisk {

// One bool per row of the feature table (cpu_features.cpp), named after the
// feature in lower case ("SSE4.1" is sse4_1, "AVX512_BF16" is avx512_bf16).
// The solver's support check reads avx, avx2 and fma. Members stand in the
// order of the printable list.
struct CpuFeatures {
  bool mmx = false;
  bool sse = false;
  bool sse2 = false;
  bool sse3 = false;
  bool ssse3 = false;
  bool sse4_1 = false;
  bool sse4_2 = false;
  bool sse4a = false;
  bool popcnt = false;
  bool aes = false;
  bool fma = false;
  bool rdrand = false;
  bool bmi1 = false;
  bool bmi2 = false;
  bool lzcnt = false;
  bool xop = false;
  bool avx = false;
  bool avx2 = false;
  bool avx10 = false;
  bool avx512f = false;
  bool avx512bw = false;
  bool avx512vl = false;
  bool avx512dq = false;
  bool avx512ifma = false;
  bool avx512pf = false;
  bool avx512er = false;
  bool avx512cd = false;
  bool avx512vbmi = false;
  bool avx512vbmi2 = false;
  bool avx512vnni = false;
  bool avx512bitalg = false;
  bool avx512vpopcntdq = false;
  bool avx512_bf16 = false;
  bool avx512_fp16 = false;
  bool avx512_4vnniw = false;
  bool avx512_4fmaps = false;
  bool avx512_vp2intersect = false;
  bool apx = false;
  bool gfni = false;
  bool vaes = false;
  bool vpclmulqdq = false;
  bool sha = false;
  bool rdpid = false;
  bool waitpkg = false;
  bool movdiri = false;
  bool movdir64b = false;
  bool serialize = false;
  bool tsxldtrk = false;
  bool pku = false;
  bool ospke = false;
  bool sgx = false;
  bool clwb = false;
  bool clflushopt = false;
  bool amx_tile = false;
  bool amx_int8 = false;
  bool amx_bf16 = false;
  bool amx_fp16 = false;
  bool cet_ibt = false;
  bool cet_shstk = false;
  bool fsrm = false;
  bool hreset = false;
  bool uintr = false;
  std::int32_t avx10_version = 0;        // leaf 0x24 EBX bits 0..7; 0 when unknown
  std::int32_t avx10_vector_length = 0;  // 0 none, 1 = 128, 2 = 256, 3 = 512 bits
};

// A filled CpuFeatures of the processor the calling thread runs on.
CpuFeatures read_cpu_features();
// The printable list built from a fresh read_cpu_features().
std::string feature_list();

}  // namespace brisk
