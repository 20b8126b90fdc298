// Building workloads from command-line names, and the checks made on those
// names before any thread starts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cpu_features.h"
#include "solver/workload.h"

namespace brisk {

// The workload of that name for that ISA, or null (names are case-sensitive).
std::unique_ptr<Workload> make_workload(std::string_view workload, std::string_view isa,
                                        std::uint32_t thread_index);

// Whether make_workload builds an sse2 workload of that name.
bool is_valid_workload(std::string_view workload);
// Whether the name is one of "sse2", "avx", "avx2", "fma".
bool is_valid_isa(std::string_view isa);

// Empty when the processor runs the ISA; otherwise the lines to print, each
// ending in "\n" (or "unknown isa '<name>'" for a name that is not an ISA).
std::optional<std::string> check_isa_support(std::string_view isa);
// The same check against a given feature record.
std::optional<std::string> check_isa_support(std::string_view isa, const CpuFeatures& features);

// Whether the calling thread's processor really executes the ISA's
// instructions, found out by executing them (a fault answers false and is
// caught). For when check_isa_support reports a missing feature, which CPUID
// can do wrongly. A name that is not an ISA has nothing to execute: true.
bool processor_executes_isa(std::string_view isa);

}  // namespace brisk
