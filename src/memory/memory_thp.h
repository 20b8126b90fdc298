// The rules for transparent huge pages on Linux, apart from the files and
// calls that feed them. The system setting is a file like
// /sys/kernel/mm/transparent_hugepage/enabled whose text lists the choices
// with the one in force in brackets: "always [madvise] never". Kernels with
// several huge page sizes have one more such file per size, which may say
// "inherit" (follow the first). A process can also turn them off for itself
// and its children with prctl(PR_SET_THP_DISABLE).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brisk {

// The bracketed word of a setting file's text; none when there is none.
std::optional<std::string> bracketed_choice(std::string_view text);

// Bit of prctl(PR_GET_THP_DISABLE)'s answer: huge pages are off for this
// process; and the newer qualifier that keeps them for regions advised
// MADV_HUGEPAGE.
inline constexpr int kThpDisabledBit = 1;
inline constexpr int kThpExceptAdvisedBit = 2;

// Whether a mapping advised MADV_HUGEPAGE can get transparent huge pages:
// `mode` is the system setting (none: the kernel has no transparent huge
// pages), `size_mode` that of the huge page size used, where the kernel has
// one, and `process_disable` what prctl(PR_GET_THP_DISABLE) answered.
bool transparent_pages_allowed(const std::optional<std::string>& mode,
                               const std::optional<std::string>& size_mode, int process_disable);

}  // namespace brisk
