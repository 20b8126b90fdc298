#include "compare/comparison_csv.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "results/csv_writer.h"

namespace brisk {
namespace {

constexpr std::string_view kHeader =
    "file,variable,point,occurrence,base_average,base_n,average,n,change_percent,ci_low_percent,"
    "ci_high_percent,p_value,verdict,needs_more_runs,like_for_like,differing_settings,"
    "base_spread_percent,spread_percent,base_noisy,noisy,base_clock_mhz,clock_mhz";

// The shortest text that reads back as the same double; empty when missing.
std::string number(std::optional<double> value) {
  return value && std::isfinite(*value) ? fmt::format("{}", *value) : std::string();
}

// A measured clock in whole MHz; empty when none was measured.
std::string mhz(std::optional<double> value) {
  return value && std::isfinite(*value) ? fmt::format("{}", std::llround(*value)) : std::string();
}

std::string boolean(bool value) { return value ? "true" : "false"; }

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

void append_row(std::string& out, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out += ',';
    out += fields[i];
  }
  out += "\r\n";
}

std::string file_name(const Comparison& c, std::size_t file) {
  return file < c.files.size() ? c.files[file].name : std::string();
}

void append_matched(std::string& out, const Comparison& c, const PointComparison& r) {
  append_row(out, {csv_foreign_text(file_name(c, r.file)),
                   csv_field(r.variable),
                   csv_foreign_text(r.label),
                   std::to_string(r.occurrence),
                   number(r.base.average),
                   std::to_string(r.base.scores.size()),
                   number(r.other.average),
                   std::to_string(r.other.scores.size()),
                   number(r.delta_percent),
                   number(r.ci_low_percent),
                   number(r.ci_high_percent),
                   number(r.p_value),
                   csv_field(verdict_name(r.verdict)),
                   boolean(r.needs_more_runs),
                   boolean(r.like_for_like),
                   csv_field(joined(r.differing_settings)),
                   number(r.base.spread_percent),
                   number(r.other.spread_percent),
                   boolean(r.base.noisy),
                   boolean(r.other.noisy),
                   mhz(r.base.clock_mhz),
                   mhz(r.other.clock_mhz)});
}

bool has(const std::vector<std::size_t>& list, std::size_t file) {
  return std::find(list.begin(), list.end(), file) != list.end();
}

void append_unmatched(std::string& out, const Comparison& c, const UnmatchedPoint& u) {
  const bool in_base = has(u.present_in, 0);
  for (std::size_t file = 1; file < c.files.size(); ++file) {
    if (has(u.present_in, file) == in_base) continue;
    append_row(out, {csv_foreign_text(file_name(c, file)),
                     csv_field(u.variable),
                     csv_foreign_text(u.label),
                     std::to_string(u.occurrence),
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     in_base ? "only in base" : "not in base",
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     "",
                     ""});
  }
}

}  // namespace

std::string render_comparison_csv(const Comparison& comparison) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const PointComparison& row : comparison.rows) append_matched(out, comparison, row);
  for (const UnmatchedPoint& u : comparison.unmatched) append_unmatched(out, comparison, u);
  return out;
}

}  // namespace brisk
