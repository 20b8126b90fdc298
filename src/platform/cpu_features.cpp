#include "platform/cpu_features.h"

#include <array>
#include <string_view>

#include "fmt/format.h"
#include "platform/cpu_decode.h"

namespace brisk {
namespace {

// Where a flag's bit lives. 7/0 and 7/1 are the sub-leaves of leaf 7.
enum class Leaf : std::uint8_t { basic1, leaf7_0, leaf7_1, ext1 };
enum class Reg : std::uint8_t { eax, ebx, ecx, edx };
// The OS register state a flag needs before the instructions may be used.
enum class Needs : std::uint8_t { nothing, avx_state, avx512_state };

struct FeatureRow {
  std::string_view name;
  bool CpuFeatures::*flag;
  Leaf leaf;
  Reg reg;
  std::uint8_t bit;
  Needs needs;
};

using F = CpuFeatures;
using enum Leaf;
using enum Reg;
using enum Needs;

// The order of the rows is the order of the printable list.
constexpr std::array<FeatureRow, 62> kFeatureTable{{
    {"MMX", &F::mmx, basic1, edx, 23, nothing},
    {"SSE", &F::sse, basic1, edx, 25, nothing},
    {"SSE2", &F::sse2, basic1, edx, 26, nothing},
    {"SSE3", &F::sse3, basic1, ecx, 0, nothing},
    {"SSSE3", &F::ssse3, basic1, ecx, 9, nothing},
    {"SSE4.1", &F::sse4_1, basic1, ecx, 19, nothing},
    {"SSE4.2", &F::sse4_2, basic1, ecx, 20, nothing},
    {"SSE4a", &F::sse4a, ext1, ecx, 6, nothing},
    {"POPCNT", &F::popcnt, basic1, ecx, 23, nothing},
    {"AES", &F::aes, basic1, ecx, 25, nothing},
    {"FMA", &F::fma, basic1, ecx, 12, avx_state},
    {"RDRAND", &F::rdrand, basic1, ecx, 30, nothing},
    {"BMI1", &F::bmi1, leaf7_0, ebx, 3, nothing},
    {"BMI2", &F::bmi2, leaf7_0, ebx, 8, nothing},
    {"LZCNT", &F::lzcnt, ext1, ecx, 5, nothing},
    {"XOP", &F::xop, ext1, ecx, 11, nothing},
    {"AVX", &F::avx, basic1, ecx, 28, avx_state},
    {"AVX2", &F::avx2, leaf7_0, ebx, 5, avx_state},
    {"AVX10", &F::avx10, leaf7_1, edx, 19, avx512_state},
    {"AVX512F", &F::avx512f, leaf7_0, ebx, 16, avx512_state},
    {"AVX512BW", &F::avx512bw, leaf7_0, ebx, 30, avx512_state},
    {"AVX512VL", &F::avx512vl, leaf7_0, ebx, 31, avx512_state},
    {"AVX512DQ", &F::avx512dq, leaf7_0, ebx, 17, avx512_state},
    {"AVX512IFMA", &F::avx512ifma, leaf7_0, ebx, 21, avx512_state},
    {"AVX512PF", &F::avx512pf, leaf7_0, ebx, 26, avx512_state},
    {"AVX512ER", &F::avx512er, leaf7_0, ebx, 27, avx512_state},
    {"AVX512CD", &F::avx512cd, leaf7_0, ebx, 28, avx512_state},
    {"AVX512VBMI", &F::avx512vbmi, leaf7_0, ecx, 1, avx512_state},
    {"AVX512VBMI2", &F::avx512vbmi2, leaf7_0, ecx, 6, avx512_state},
    {"AVX512VNNI", &F::avx512vnni, leaf7_0, ecx, 11, avx512_state},
    {"AVX512BITALG", &F::avx512bitalg, leaf7_0, ecx, 12, avx512_state},
    {"AVX512VPOPCNTDQ", &F::avx512vpopcntdq, leaf7_0, ecx, 14, avx512_state},
    {"AVX512_BF16", &F::avx512_bf16, leaf7_1, eax, 5, avx512_state},
    {"AVX512_FP16", &F::avx512_fp16, leaf7_0, edx, 23, avx512_state},
    {"AVX512_4VNNIW", &F::avx512_4vnniw, leaf7_0, edx, 2, avx512_state},
    {"AVX512_4FMAPS", &F::avx512_4fmaps, leaf7_0, edx, 3, avx512_state},
    {"AVX512_VP2INTERSECT", &F::avx512_vp2intersect, leaf7_0, edx, 8, avx512_state},
    {"APX", &F::apx, leaf7_1, edx, 21, nothing},
    {"GFNI", &F::gfni, leaf7_0, ecx, 8, avx_state},
    {"VAES", &F::vaes, leaf7_0, ecx, 9, avx_state},
    {"VPCLMULQDQ", &F::vpclmulqdq, leaf7_0, ecx, 10, avx_state},
    {"SHA", &F::sha, leaf7_0, ebx, 29, nothing},
    {"RDPID", &F::rdpid, leaf7_0, ecx, 22, nothing},
    {"WAITPKG", &F::waitpkg, leaf7_0, ecx, 5, nothing},
    {"MOVDIRI", &F::movdiri, leaf7_0, ecx, 27, nothing},
    {"MOVDIR64B", &F::movdir64b, leaf7_0, ecx, 28, nothing},
    {"SERIALIZE", &F::serialize, leaf7_0, edx, 14, nothing},
    {"TSXLDTRK", &F::tsxldtrk, leaf7_0, edx, 16, nothing},
    {"PKU", &F::pku, leaf7_0, ecx, 3, nothing},
    {"OSPKE", &F::ospke, leaf7_0, ecx, 4, nothing},
    {"SGX", &F::sgx, leaf7_0, ebx, 2, nothing},
    {"CLWB", &F::clwb, leaf7_0, ebx, 24, nothing},
    {"CLFLUSHOPT", &F::clflushopt, leaf7_0, ebx, 23, nothing},
    {"AMX_TILE", &F::amx_tile, leaf7_0, edx, 24, nothing},
    {"AMX_INT8", &F::amx_int8, leaf7_0, edx, 25, nothing},
    {"AMX_BF16", &F::amx_bf16, leaf7_0, edx, 22, nothing},
    {"AMX_FP16", &F::amx_fp16, leaf7_1, eax, 21, nothing},
    {"CET_IBT", &F::cet_ibt, leaf7_0, edx, 20, nothing},
    {"CET_SHSTK", &F::cet_shstk, leaf7_0, ecx, 7, nothing},
    {"FSRM", &F::fsrm, leaf7_0, edx, 4, nothing},
    {"HRESET", &F::hreset, leaf7_1, eax, 22, nothing},
    {"UINTR", &F::uintr, leaf7_0, edx, 5, nothing},
}};

// Rows 20..37 of the table: the AVX-512 names that an AVX10 entry replaces.
constexpr std::size_t kAvx512First = 19;
constexpr std::size_t kAvx512Last = 36;
static_assert(kFeatureTable[kAvx512First].name == "AVX512F");
static_assert(kFeatureTable[kAvx512Last].name == "AVX512_VP2INTERSECT");
static_assert(kFeatureTable[kAvx512Last + 1].name == "APX");

constexpr std::uint32_t kOsxsaveBit = 1u << 27;
constexpr std::uint32_t kAvxBit = 1u << 28;
constexpr std::uint64_t kAvxStateMask = 0x6;      // XMM and YMM state
constexpr std::uint64_t kAvx512StateMask = 0xE6;  // plus opmask and ZMM state

// The leaves of one decoding; a leaf that is not available stays zero.
struct LeafValues {
  CpuidRegisters basic1, leaf7_0, leaf7_1, ext1;
  bool has_leaf7 = false, has_ext1 = false;
};

std::uint32_t register_value(const CpuidRegisters& r, Reg reg) {
  switch (reg) {
    case eax:
      return r.eax;
    case ebx:
      return r.ebx;
    case ecx:
      return r.ecx;
    case edx:
      return r.edx;
  }
  return 0;
}

const CpuidRegisters& leaf_registers(const LeafValues& v, Leaf leaf) {
  switch (leaf) {
    case basic1:
      return v.basic1;
    case leaf7_0:
      return v.leaf7_0;
    case leaf7_1:
      return v.leaf7_1;
    case ext1:
      return v.ext1;
  }
  return v.basic1;
}

int avx10_length_code(std::uint32_t ebx) {
  if (ebx & (1u << 18)) return 3;
  if (ebx & (1u << 17)) return 2;
  if (ebx & (1u << 16)) return 1;
  return 0;
}

std::string avx10_entry(const CpuFeatures& f) {
  std::string entry = "AVX10";
  if (f.avx10_version != 0) entry += fmt::format(".{}", f.avx10_version);
  static constexpr std::string_view kLengths[] = {"", "-128", "-256", "-512"};
  if (f.avx10_vector_length >= 1 && f.avx10_vector_length <= 3) {
    entry += kLengths[f.avx10_vector_length];
  }
  return entry;
}

}  // namespace

CpuFeatures decode_cpu_features(const CpuidSource& cpu) {
  const std::uint32_t max_basic = cpu.cpuid(0, 0).eax;
  const std::uint32_t max_extended = cpu.cpuid(0x80000000, 0).eax;
  LeafValues v;
  v.basic1 = cpu.cpuid(1, 0);
  v.has_leaf7 = max_basic >= 7;
  v.has_ext1 = max_extended >= 0x80000001;
  if (v.has_leaf7) {
    v.leaf7_0 = cpu.cpuid(7, 0);
    v.leaf7_1 = cpu.cpuid(7, 1);
  }
  if (v.has_ext1) v.ext1 = cpu.cpuid(0x80000001, 0);

  // XGETBV faults unless the OS set OSXSAVE, so XCR0 is only read behind it.
  bool has_avx_state = false, has_avx512_state = false;
  if ((v.basic1.ecx & kOsxsaveBit) && (v.basic1.ecx & kAvxBit)) {
    const std::uint64_t xcr0 = cpu.xgetbv0();
    has_avx_state = (xcr0 & kAvxStateMask) == kAvxStateMask;
    has_avx512_state = (xcr0 & kAvx512StateMask) == kAvx512StateMask;
  }

  CpuFeatures f;
  for (const FeatureRow& row : kFeatureTable) {
    const bool bit = (register_value(leaf_registers(v, row.leaf), row.reg) >> row.bit) & 1;
    const bool state =
        row.needs == nothing || (row.needs == avx_state ? has_avx_state : has_avx512_state);
    f.*row.flag = bit && state;
  }
  if (f.avx10 && max_basic >= 0x24) {
    const std::uint32_t ebx = cpu.cpuid(0x24, 0).ebx;
    f.avx10_version = static_cast<std::int32_t>(ebx & 0xFF);
    f.avx10_vector_length = avx10_length_code(ebx);
  }
  return f;
}

std::string format_feature_list(const CpuFeatures& f) {
  std::string list;
  auto append = [&list](std::string_view name) {
    if (!list.empty()) list += ' ';
    list += name;
  };
  for (std::size_t i = 0; i < kFeatureTable.size(); ++i) {
    const FeatureRow& row = kFeatureTable[i];
    if (!(f.*row.flag)) continue;
    // AVX10 implies the AVX-512 instructions, so its one entry replaces them.
    if (f.avx10 && i >= kAvx512First && i <= kAvx512Last) continue;
    if (row.flag == &F::avx10) {
      append(avx10_entry(f));
    } else {
      append(row.name);
    }
  }
  return list;
}

CpuFeatures read_cpu_features() { return decode_cpu_features(hardware_cpuid()); }

std::string feature_list() { return format_feature_list(read_cpu_features()); }

}  // namespace brisk
