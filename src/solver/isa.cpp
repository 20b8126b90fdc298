#include "solver/isa.h"

namespace brisk {

std::optional<Isa> parse_isa(std::string_view name) {
  if (name == "sse2") return Isa{Sse2{}};
  if (name == "avx") return Isa{Avx{}};
  if (name == "avx2") return Isa{Avx2{}};
  if (name == "fma") return Isa{Fma{}};
  return std::nullopt;
}

}  // namespace brisk
