// The four instruction-set variants as empty tag types. Per-ISA code is a
// template over one of them; this header includes nothing, so per-ISA
// translation units can use it without pulling in shared inline code.
#pragma once

namespace brisk {

struct Sse2 {};  // the x86-64 baseline
struct Avx {};
struct Avx2 {};
struct Fma {};  // AVX2 with fused multiply-add

}  // namespace brisk
