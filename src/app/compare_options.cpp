#include "app/compare_options.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

namespace brisk {

using argparse::Option;

std::optional<double> parse_percent(std::string_view text) {
  // Digits and one point only: no sign, exponent, "inf" or "nan", so what
  // is accepted is exactly what a person would call a percentage.
  if (text.empty() || text.size() > 16) return std::nullopt;
  int points = 0;
  for (const char c : text) {
    if (c == '.') {
      ++points;
    } else if (c < '0' || c > '9') {
      return std::nullopt;
    }
  }
  if (points > 1 || text == ".") return std::nullopt;
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || value > 1000.0) return std::nullopt;
  return value;
}

std::optional<std::string> validate_compare_settings(const CompareSettings& settings,
                                                     bool comparing) {
  const std::pair<const char*, const std::string*> values[] = {
      {"--threshold", &settings.threshold}, {"--fail-slower", &settings.fail_slower}};
  const bool given[] = {settings.threshold_given, settings.fail_slower_given};
  for (int i = 0; i < 2; ++i) {
    if (!given[i]) continue;
    if (!parse_percent(*values[i].second)) {
      return fmt::format("{}: '{}' is not a percentage from 0 to 1000", values[i].first,
                         *values[i].second);
    }
    if (!comparing) return fmt::format("{} needs a comparison: add --compare-to", values[i].first);
  }
  if (settings.compare_to_given && settings.compare_to.empty()) {
    return "--compare-to: the results file name is empty";
  }
  return std::nullopt;
}

void add_compare_options(argparse::Parser& parser, CompareSettings& settings) {
  parser
      .add(Option::flag(settings.no_save)
               .name("--no-save")
               .help_text("Don't keep this invocation's results in the history folder"))
      .add(Option::value(settings.compare_to, "file")
               .name("--compare-to")
               .record_given(settings.compare_to_given)
               .help_text("After the sweep, compare it with this results file or saved result "
                          "(last, last~N, best, or an id from brisk history)"))
      .add(Option::value(settings.threshold, "percent")
               .name("--threshold")
               .record_given(settings.threshold_given)
               .help_text("Smallest change of a point's average that counts as faster or slower "
                          "(default 2)"))
      .add(Option::value(settings.fail_slower, "percent")
               .name("--fail-slower")
               .record_given(settings.fail_slower_given)
               .help_text("Exit with status 3 when a like-for-like point is slower by more than "
                          "this, with p < 0.05"));
}

}  // namespace brisk
