// The text rules by which harness variables read their option string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisk {

// "start-end:step" cut into its pieces; any piece may be empty. Without "-"
// start and end are both the text before ":".
struct RangeText {
  std::string start;
  std::string end;
  std::string step;
};
RangeText split_range(std::string_view text);

// A non-empty run of the digits 0-9 whose value fits `width` bits (64, or
// else 32); no sign, no blanks.
std::optional<std::uint64_t> parse_decimal(std::string_view text, unsigned width);

// The pieces between commas, empty ones included; no value for "auto".
std::optional<std::vector<std::string>> split_commas(std::string_view text);

struct NumericRange {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t step = 1;
};
// Empty text or "auto" gives the defaults with step 1; otherwise every
// non-empty piece must be a decimal of `width` bits (empty ones take their
// default). No value when end < start or step is 0.
std::optional<NumericRange> parse_range(std::string_view text, std::uint64_t default_start,
                                        std::uint64_t default_end, unsigned width);

// A sweep holds at most this many points. Every point is at least a one-second
// run, so a longer sweep cannot be meant, and building its list could exhaust
// memory.
inline constexpr std::uint64_t kMaxSweepPoints = 100000;

// start, start + step, ... up to end (included when reached exactly); no
// value when that would be more than kMaxSweepPoints values.
std::optional<std::vector<std::uint64_t>> expand_range(const NumericRange& range);

}  // namespace brisk
