#include "harness/harness_vars.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <string>
#include <utility>

#include "bench/bench_config.h"
#include "bench/run_benchmark.h"
#include "bench/thread_count.h"
#include "harness/harness_parse.h"
#include "solver/isa.h"

namespace brisk {
namespace {

// In the Isa variant's order.
constexpr std::array<std::string_view, 4> kIsaNames = {isa_name(Sse2{}), isa_name(Avx{}),
                                                       isa_name(Avx2{}), isa_name(Fma{})};
constexpr std::uint64_t kDurationStart = 5;
constexpr std::uint64_t kDurationEnd = 60;
constexpr std::uint64_t kSizeRangeStart = 64;
constexpr std::uint64_t kSizeRangeEnd = 384;

bool uses_defaults(std::string_view text) { return text.empty() || text == "auto"; }

std::uint32_t plus_one(std::uint32_t seconds) {
  return seconds == std::numeric_limits<std::uint32_t>::max() ? seconds : seconds + 1;
}

// A point that performs the settings with `change` applied to a copy.
harness_run make_point(std::string label, std::uint32_t estimate_s,
                       const brisk_harness_context& context,
                       std::function<void(BenchConfig&)> change) {
  harness_run point;
  point.label = std::move(label);
  point.estimate_s = estimate_s;
  point.run = [context, change = std::move(change)]() {
    BenchConfig config = *context.config;
    change(config);
    if (context.perform) return context.perform(config, *context.topology);
    return run_benchmark(std::move(config), *context.topology);
  };
  return point;
}

// Duration and thread points: the values in text form, in order.
std::optional<std::vector<std::uint64_t>> numeric_values(std::string_view text,
                                                         std::uint64_t default_start,
                                                         std::uint64_t default_end) {
  if (uses_defaults(text)) {
    // The default end itself is left out.
    if (default_end <= default_start) return std::vector<std::uint64_t>{};
    return expand_range(NumericRange{default_start, default_end - 1, 1});
  }
  if (const std::optional<NumericRange> range = parse_range(text, default_start, default_end, 32)) {
    return expand_range(*range);
  }
  const std::optional<std::vector<std::string>> pieces = split_commas(text);
  if (!pieces) return std::nullopt;
  std::vector<std::uint64_t> values;
  for (const std::string& piece : *pieces) {
    const std::optional<std::uint64_t> value = parse_decimal(piece, 32);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

std::optional<std::size_t> size_index(std::uint64_t size) {
  const auto it = std::find(kGridSizes.begin(), kGridSizes.end(), size);
  if (it == kGridSizes.end()) return std::nullopt;
  return static_cast<std::size_t>(it - kGridSizes.begin());
}

std::optional<std::vector<std::uint64_t>> size_values(std::string_view text) {
  if (uses_defaults(text)) return std::vector<std::uint64_t>(kGridSizes.begin(), kGridSizes.end());
  if (const std::optional<NumericRange> range =
          parse_range(text, kSizeRangeStart, kSizeRangeEnd, 64)) {
    const std::optional<std::size_t> first = size_index(range->start);
    const std::optional<std::size_t> last = size_index(range->end);
    if (first && last && *first <= *last) {
      std::vector<std::uint64_t> values;
      for (std::size_t i = *first; i <= *last; ++i) {
        if ((kGridSizes[i] - range->start) % range->step == 0) values.push_back(kGridSizes[i]);
      }
      if (!values.empty()) return values;
    }
  }
  const std::optional<std::vector<std::string>> pieces = split_commas(text);
  if (!pieces) return std::nullopt;
  std::vector<std::uint64_t> values;
  for (const std::string& piece : *pieces) {
    const std::optional<std::uint64_t> value = parse_decimal(piece, 64);
    if (!value || !size_index(*value)) return std::nullopt;
    values.push_back(*value);
  }
  return values;
}

// The Isa variant's index is the order of kIsaNames.
std::optional<std::size_t> isa_index(std::string_view name) {
  const std::optional<Isa> isa = parse_isa(name);
  if (!isa) return std::nullopt;
  return isa->index();
}

std::optional<std::vector<std::string>> isa_values(std::string_view text) {
  if (uses_defaults(text)) return std::vector<std::string>(kIsaNames.begin(), kIsaNames.end());
  const RangeText range = split_range(text);
  const std::optional<std::size_t> first =
      isa_index(range.start.empty() ? kIsaNames.front() : std::string_view(range.start));
  const std::optional<std::size_t> last =
      isa_index(range.end.empty() ? kIsaNames.back() : std::string_view(range.end));
  if (first && last && *first <= *last && range.step.empty()) {
    return std::vector<std::string>(kIsaNames.begin() + static_cast<std::ptrdiff_t>(*first),
                                    kIsaNames.begin() + static_cast<std::ptrdiff_t>(*last) + 1);
  }
  std::optional<std::vector<std::string>> pieces = split_commas(text);
  if (!pieces) return std::nullopt;
  for (const std::string& piece : *pieces) {
    if (!isa_index(piece)) return std::nullopt;
  }
  return pieces;
}

}  // namespace

HarnessRuns h_none_var::gen(std::string_view, const brisk_harness_context& context) {
  std::vector<harness_run> points;
  points.push_back(make_point("none", context.config->duration, context, [](BenchConfig&) {}));
  return points;
}

HarnessRuns h_size_var::gen(std::string_view option_string, const brisk_harness_context& context) {
  const std::optional<std::vector<std::uint64_t>> sizes = size_values(option_string);
  if (!sizes) return std::nullopt;
  std::vector<harness_run> points;
  for (const std::uint64_t size : *sizes) {
    points.push_back(make_point(std::to_string(size), plus_one(context.config->duration), context,
                                [size](BenchConfig& config) { config.size = size; }));
  }
  return points;
}

HarnessRuns h_dur_var::gen(std::string_view option_string, const brisk_harness_context& context) {
  const std::optional<std::vector<std::uint64_t>> durations =
      numeric_values(option_string, kDurationStart, kDurationEnd);
  if (!durations) return std::nullopt;
  std::vector<harness_run> points;
  for (const std::uint64_t value : *durations) {
    const auto duration = static_cast<std::uint32_t>(value);
    points.push_back(make_point(std::to_string(duration), plus_one(duration), context,
                                [duration](BenchConfig& config) { config.duration = duration; }));
  }
  return points;
}

HarnessRuns h_threads_var::gen(std::string_view option_string,
                               const brisk_harness_context& context) {
  return gen(option_string, context,
             automatic_thread_count(context.config->size, *context.topology));
}

HarnessRuns h_threads_var::gen(std::string_view option_string, const brisk_harness_context& context,
                               std::uint32_t automatic_threads) {
  const std::optional<std::vector<std::uint64_t>> counts =
      numeric_values(option_string, 1, automatic_threads);
  if (!counts) return std::nullopt;
  std::vector<harness_run> points;
  for (const std::uint64_t value : *counts) {
    const auto threads = static_cast<std::uint32_t>(value);
    points.push_back(make_point(std::to_string(threads), plus_one(context.config->duration),
                                context,
                                [threads](BenchConfig& config) { config.numthreads = threads; }));
  }
  return points;
}

HarnessRuns h_isa_var::gen(std::string_view option_string, const brisk_harness_context& context) {
  std::optional<std::vector<std::string>> isas = isa_values(option_string);
  if (!isas) return std::nullopt;
  std::vector<harness_run> points;
  for (std::string& isa : *isas) {
    const std::string label = isa;
    points.push_back(make_point(label, context.config->duration, context,
                                [isa = std::move(isa)](BenchConfig& config) { config.isa = isa; }));
  }
  return points;
}

}  // namespace brisk
