// The support check against the processor the program runs on, apart from
// the factory so tests of the factory need no processor probe.
#include <variant>

#include "platform/cpu_features.h"
#include "platform/instruction_probe.h"
#include "solver/isa.h"
#include "solver/workload_factory.h"

namespace brisk {
namespace {

// What each variant's code executes beyond the baseline.
constexpr InstructionGroup instructions_of(Sse2) { return InstructionGroup::sse2; }
constexpr InstructionGroup instructions_of(Avx) { return InstructionGroup::avx; }
constexpr InstructionGroup instructions_of(Avx2) { return InstructionGroup::avx2; }
constexpr InstructionGroup instructions_of(Fma) { return InstructionGroup::avx2_fma; }

}  // namespace

std::optional<std::string> check_isa_support(std::string_view isa) {
  // An unknown name is reported without probing the processor.
  if (!is_valid_isa(isa)) return check_isa_support(isa, CpuFeatures{});
  return check_isa_support(isa, read_cpu_features());
}

bool processor_executes_isa(std::string_view isa) {
  const std::optional<Isa> parsed = parse_isa(isa);
  if (!parsed) return true;
  return processor_executes(std::visit([](auto tag) { return instructions_of(tag); }, *parsed));
}

}  // namespace brisk
