// The instruction-set variant chosen on the command line. Dispatch on it is a
// visit, so each branch reaches code built for that ISA.
#pragma once

#include <optional>
#include <string_view>
#include <variant>

#include "solver/isa_tags.h"

namespace brisk {

// Index order matters: 0 sse2, 1 avx, 2 avx2, 3 fma.
using Isa = std::variant<Sse2, Avx, Avx2, Fma>;

// The ISA of that exact (case-sensitive) name: "sse2", "avx", "avx2", "fma".
std::optional<Isa> parse_isa(std::string_view name);

// The command-line name of an ISA tag.
constexpr std::string_view isa_name(Sse2) { return "sse2"; }
constexpr std::string_view isa_name(Avx) { return "avx"; }
constexpr std::string_view isa_name(Avx2) { return "avx2"; }
constexpr std::string_view isa_name(Fma) { return "fma"; }

}  // namespace brisk
