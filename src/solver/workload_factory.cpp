#include "solver/workload_factory.h"

#include <new>
#include <variant>

#include "solver/isa.h"
#include "solver/soft_gaussian.h"
#include "solver/standing_wave.h"

// Every workload of every variant is compiled here, outside the kernels: this
// code runs on every processor, so it must stay at the x86-64 baseline.
#if defined(__AVX__) || defined(__FMA__) || defined(__AVX512F__) || defined(__BMI__)
#error "the solver's baseline code is built with AVX or above: check the solver's flags"
#endif

namespace brisk {
namespace {

template <class Tag>
std::unique_ptr<Workload> make_for(std::string_view workload, std::uint32_t thread_index) {
  if (workload == "standing_wave") {
    return std::unique_ptr<Workload>(new (std::nothrow) StandingWave<Tag>(thread_index));
  }
  if (workload == "soft_gaussian") {
    return std::unique_ptr<Workload>(new (std::nothrow) SoftGaussian<Tag>(thread_index));
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<Workload> make_workload(std::string_view workload, std::string_view isa,
                                        std::uint32_t thread_index) {
  const std::optional<Isa> parsed = parse_isa(isa);
  if (!parsed) return nullptr;
  return std::visit([&](auto tag) { return make_for<decltype(tag)>(workload, thread_index); },
                    *parsed);
}

bool is_valid_workload(std::string_view workload) {
  return make_workload(workload, "sse2", 0) != nullptr;
}

bool is_valid_isa(std::string_view isa) { return parse_isa(isa).has_value(); }

std::optional<std::string> check_isa_support(std::string_view isa, const CpuFeatures& features) {
  const std::optional<Isa> parsed = parse_isa(isa);
  if (!parsed) return "unknown isa '" + std::string(isa) + "'";
  std::string missing;
  auto require = [&](bool present, const char* line) {
    if (!present) missing += std::string(line) + "\n";
  };
  switch (parsed->index()) {
    case 1:
      require(features.avx, "avx support not detected");
      break;
    case 2:
      require(features.avx2, "avx2 support not detected");
      break;
    case 3:
      // The fma kernels are compiled with -mavx2, so the compiler may use AVX2
      // anywhere in them.
      require(features.avx2, "avx2 support not detected");
      require(features.fma, "fma support not detected");
      break;
    default:
      break;
  }
  if (missing.empty()) return std::nullopt;
  return missing;
}

}  // namespace brisk
