#include "compare/comparison_markdown.h"

#include <fmt/format.h>

#include <cmath>
#include <set>
#include <utility>

#include "results/console_text.h"
#include "results/markdown_writer.h"

namespace brisk {
namespace {

std::string trimmed(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? "" : text.substr(0, end + 1));
}

// A file's name as the console shows it (a control byte or invalid UTF-8
// spelled out as "\x.."), then escaped for Markdown.
std::string file_name(const std::string& name) { return markdown_text(console_safe(name)); }

std::string file_line(const ComparedFile& f) {
  const ResultsDocument& d = f.document;
  return fmt::format("{} (brisk v{}, {}, {} sweep{})", file_name(f.name),
                     markdown_text(d.build.version), markdown_text(trimmed(d.machine.cpu.brand)),
                     markdown_text(d.sweep.variable), f.incomplete ? ", **incomplete**" : "");
}

std::string header(const Comparison& c) {
  std::string out = "## brisk comparison\n\n";
  if (c.files.empty()) return out;
  out += fmt::format("- **base:** {}\n", file_line(c.files[0]));
  for (std::size_t i = 1; i < c.files.size(); ++i) {
    out += fmt::format("- **file {}:** {}\n", i, file_line(c.files[i]));
  }
  if (c.differences.empty()) {
    out += "- **context:** same machine, same build\n";
  } else {
    out += fmt::format("- **context:** {}, {}; differences:\n",
                       c.same_machine ? "same machine" : "different machines",
                       c.same_build ? "same build" : "different builds");
    for (const ContextDifference& d : c.differences) {
      std::string values;
      for (const std::string& v : d.values) {
        values += (values.empty() ? "" : " vs ") + markdown_text(trimmed(v));
      }
      out += fmt::format("  - {}: {}\n", markdown_text(d.field), values);
    }
  }
  return out + fmt::format("- **threshold:** ±{}%, Welch's t-test, 95% intervals\n\n",
                           c.threshold_percent);
}

std::string average_cell(const PointSide& s) {
  if (!s.average || !std::isfinite(*s.average)) return "---";
  return fmt::format("{:.2f}{}", *s.average, s.noisy ? " (noisy)" : "");
}

std::string percent(std::optional<double> value) {
  return value && std::isfinite(*value) ? fmt::format("{:+.2f}%", *value) : "---";
}

std::string interval(const PointComparison& r) {
  if (!r.ci_low_percent || !r.ci_high_percent) return "---";
  return fmt::format("{} to {}", percent(r.ci_low_percent), percent(r.ci_high_percent));
}

std::string p_cell(std::optional<double> p) {
  if (!p || !std::isfinite(*p)) return "---";
  return *p < 0.001 ? "<0.001" : fmt::format("{:.3f}", *p);
}

std::string verdict_cell(const PointComparison& r) {
  std::string text = std::string(verdict_name(r.verdict));
  if (r.needs_more_runs) text += " (more runs)";
  if (!r.like_for_like) {
    std::string why;
    for (const std::string& s : r.differing_settings) why += (why.empty() ? "" : ", ") + s;
    text += fmt::format(", not like for like: {}", why);
  }
  return markdown_text(text);
}

// "4", "4 #2" for the second point labelled 4, "isa avx2" for a point of
// another sweep variable than the base's.
std::string point_label(const std::string& base_variable, const std::string& variable,
                        const std::string& label, std::uint32_t occurrence) {
  std::string text = variable.empty() || variable == base_variable ? label : variable + " " + label;
  return occurrence == 0 ? text : fmt::format("{} #{}", text, occurrence + 1);
}

std::string table(const Comparison& c) {
  const std::string variable = c.files.empty() ? "point" : c.files[0].document.sweep.variable;
  std::string out = fmt::format(
      "| file | {} | base avg | avg | change | 95% interval | p | verdict |\n"
      "|---|---|--:|--:|--:|--:|--:|---|\n",
      markdown_text(variable));
  bool hint = false;
  for (const PointComparison& r : c.rows) {
    const std::string name = r.file < c.files.size() ? c.files[r.file].name : "";
    const std::string label =
        r.occurrence == 0 ? r.label : fmt::format("{} #{}", r.label, r.occurrence + 1);
    out += fmt::format("| {} | {} | {} | {} | {} | {} | {} | {} |\n", file_name(name),
                       markdown_text(label), average_cell(r.base), average_cell(r.other),
                       percent(r.delta_percent), interval(r), p_cell(r.p_value), verdict_cell(r));
    hint = hint || r.needs_more_runs;
  }
  if (hint) out += fmt::format("\nmore runs: {}\n", kMoreRunsHint);
  return out;
}

// Each noisy side once, with the cause measured during its runs.
std::string noisy_sides(const Comparison& c) {
  std::string out;
  std::set<std::pair<std::string, std::uint32_t>> base_told;
  for (const PointComparison& r : c.rows) {
    const std::pair<const PointSide*, std::size_t> sides[] = {{&r.base, 0}, {&r.other, r.file}};
    for (const auto& [side, file] : sides) {
      if (!side->noisy || file >= c.files.size()) continue;
      if (file == 0 && !base_told.insert({r.label, r.occurrence}).second) continue;
      const std::string label =
          r.occurrence == 0 ? r.label : fmt::format("{} #{}", r.label, r.occurrence + 1);
      out += fmt::format("- {} at {}: spread {:.2f}%: {}\n", file_name(c.files[file].name),
                         markdown_text(label), side->spread_percent.value_or(0.0),
                         markdown_text(side->noise_cause.value_or("")));
    }
  }
  if (out.empty()) return out;
  return fmt::format("\nNoisy sides (spread over {:g}%):\n\n", kNoisySpreadPercent) + out;
}

std::string unmatched(const Comparison& c) {
  if (c.unmatched.empty()) return "";
  std::string out = "\nPoints not in every file:\n\n";
  for (const UnmatchedPoint& u : c.unmatched) {
    std::string where;
    for (const std::size_t file : u.missing_in) {
      if (file < c.files.size())
        where += (where.empty() ? "" : ", ") + file_name(c.files[file].name);
    }
    const std::string variable = c.files.empty() ? "" : c.files[0].document.sweep.variable;
    out +=
        fmt::format("- {}: missing in {}\n",
                    markdown_text(point_label(variable, u.variable, u.label, u.occurrence)), where);
  }
  return out;
}

}  // namespace

std::string render_comparison_markdown(const Comparison& comparison) {
  return header(comparison) + table(comparison) + noisy_sides(comparison) + unmatched(comparison);
}

}  // namespace brisk
