// The five harness variables. Each turns the option string into the sweep
// points of an invocation; a point's run copies the settings at the time it is
// performed, replaces one field and runs the benchmark.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "harness/harness_run.h"

namespace brisk {

using HarnessRuns = std::optional<std::vector<harness_run>>;

// "none": one point, the unchanged settings. Ignores the option string.
struct h_none_var {
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context);
};

// "size": members of the grid-size table; all fourteen, a range of them
// ("128-1024:128", bounds 64 and 384 by default) or a list ("64,1024,64").
struct h_size_var {
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context);
};

// "duration": 5 to 59 s by default, or a range ("10-30:10") or a list.
struct h_dur_var {
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context);
};

// "threads": 1 to O - 1 by default, O being the automatic thread count for the
// settings' grid size, or a range ("1-8", end O by default) or a list.
struct h_threads_var {
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context);
  // The same with O given.
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context,
                         std::uint32_t automatic_threads);
};

// "isa": sse2, avx, avx2, fma; a range of them ("avx-") or a list ("fma,sse2").
struct h_isa_var {
  static HarnessRuns gen(std::string_view option_string, const brisk_harness_context& context);
};

}  // namespace brisk
