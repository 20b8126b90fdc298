// The settings of one benchmark run, as the command line fills them, and the
// fixed lists the command line and the harness check them against.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisk {

struct BenchConfig {
  std::uint32_t numthreads = 0;  // 0 = automatic
  std::uint32_t duration = 30;   // seconds; the run clamps it to 1..1000
  std::uint64_t size = 192;      // grid size N
  std::string threading = "os";
  std::string workload = "standing_wave";
  std::string isa = "sse2";
  bool strict_isa_check = false;
  bool large_pages = false;
  bool bypass_timer_check = false;
};

inline constexpr std::array<std::uint64_t, 14> kGridSizes = {
    64, 128, 192, 256, 320, 384, 448, 512, 640, 768, 1024, 2048, 4096, 8192};
inline constexpr std::string_view kGridSizeList =
    "64, 128, 192, 256, 320, 384, 448, 512, 640, 768, 1024, 2048, 4096, 8192";
inline constexpr std::string_view kWorkloadList = "standing_wave, soft_gaussian";
inline constexpr std::string_view kIsaList = "sse2, avx, avx2, fma";
inline constexpr std::uint32_t kMinDuration = 1;
inline constexpr std::uint32_t kMaxDuration = 1000;

}  // namespace brisk
