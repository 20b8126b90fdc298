#include "harness/harness_parse.h"

#include "argparse/convert.h"

namespace brisk {

RangeText split_range(std::string_view text) {
  RangeText pieces;
  if (text.empty()) return pieces;
  std::string_view bounds = text;
  if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    pieces.step = std::string(text.substr(colon + 1));
    bounds = text.substr(0, colon);
  }
  if (const std::size_t dash = bounds.find('-'); dash != std::string_view::npos) {
    pieces.start = std::string(bounds.substr(0, dash));
    pieces.end = std::string(bounds.substr(dash + 1));
  } else {
    pieces.start = std::string(bounds);
    pieces.end = std::string(bounds);
  }
  return pieces;
}

std::optional<std::uint64_t> parse_decimal(std::string_view text, unsigned width) {
  // The command line's own conversion, so both accept exactly the same texts.
  if (width >= 64) return argparse::parse_uint64(text);
  return argparse::parse_uint32(text);
}

std::optional<std::vector<std::string>> split_commas(std::string_view text) {
  if (text == "auto") return std::nullopt;
  std::vector<std::string> pieces;
  std::size_t begin = 0;
  while (true) {
    const std::size_t comma = text.find(',', begin);
    if (comma == std::string_view::npos) {
      pieces.emplace_back(text.substr(begin));
      return pieces;
    }
    pieces.emplace_back(text.substr(begin, comma - begin));
    begin = comma + 1;
  }
}

std::optional<NumericRange> parse_range(std::string_view text, std::uint64_t default_start,
                                        std::uint64_t default_end, unsigned width) {
  if (text.empty() || text == "auto") return NumericRange{default_start, default_end, 1};
  const RangeText pieces = split_range(text);
  const auto piece = [width](const std::string& piece_text,
                             std::uint64_t fallback) -> std::optional<std::uint64_t> {
    if (piece_text.empty()) return fallback;
    return parse_decimal(piece_text, width);
  };
  const std::optional<std::uint64_t> start = piece(pieces.start, default_start);
  const std::optional<std::uint64_t> end = piece(pieces.end, default_end);
  const std::optional<std::uint64_t> step = piece(pieces.step, 1);
  if (!start || !end || !step) return std::nullopt;
  if (*end < *start || *step == 0) return std::nullopt;
  return NumericRange{*start, *end, *step};
}

std::optional<std::vector<std::uint64_t>> expand_range(const NumericRange& range) {
  if (range.step == 0 || range.end < range.start) return std::nullopt;
  if ((range.end - range.start) / range.step >= kMaxSweepPoints) return std::nullopt;
  std::vector<std::uint64_t> values;
  std::uint64_t v = range.start;
  values.push_back(v);
  // Written as a difference so that v + step never overflows.
  while (range.end - v >= range.step) {
    v += range.step;
    values.push_back(v);
  }
  return values;
}

}  // namespace brisk
