// The support check against the processor the program runs on, apart from
// the factory so tests of the factory need no processor probe.
#include "platform/cpu_features.h"
#include "solver/workload_factory.h"

namespace brisk {

std::optional<std::string> check_isa_support(std::string_view isa) {
  // An unknown name is reported without probing the processor.
  if (!is_valid_isa(isa)) return check_isa_support(isa, CpuFeatures{});
  return check_isa_support(isa, read_cpu_features());
}

}  // namespace brisk
