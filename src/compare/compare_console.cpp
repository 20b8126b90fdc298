#include "compare/compare_console.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

#include "results/console_text.h"

namespace brisk {
namespace {

constexpr std::string_view kMissing = "---";

std::string file_tag(std::size_t index) {
  return index == 0 ? std::string("base") : fmt::format("{}", index);
}

// "base, 2, 4-7": the files holding one value, consecutive numbers as ranges,
// so hundreds of files still fit on a line.
std::string file_list(const std::vector<std::size_t>& indices) {
  std::string text;
  for (std::size_t i = 0; i < indices.size();) {
    std::size_t last = i;
    while (indices[i] != 0 && last + 1 < indices.size() && indices[last + 1] == indices[last] + 1) {
      ++last;
    }
    text += (text.empty() ? "" : ", ") + file_tag(indices[i]);
    if (last >= i + 2) text += fmt::format("-{}", indices[last]);
    if (last == i + 1) text += fmt::format(", {}", indices[last]);
    i = last + 1;
  }
  return text;
}

void print_files(const Comparison& c, std::ostream& out) {
  const std::size_t width = std::max<std::size_t>(5, file_tag(c.files.size() - 1).size() + 1);
  for (std::size_t i = 0; i < c.files.size(); ++i) {
    const ComparedFile& file = c.files[i];
    const ResultsDocument& doc = file.document;
    std::string facts = fmt::format("{}, brisk {}", doc.start_time, doc.build.version);
    if (file.incomplete) {
      const std::uint64_t planned =
          static_cast<std::uint64_t>(doc.sweep.points.size()) * doc.sweep.sub_runs;
      facts += fmt::format(", incomplete: {} of {} runs", doc.runs.size(), planned);
    }
    out << fmt::format("{:<{}} {} ({})", file_tag(i) + ":", width, console_safe(file.name), facts)
        << std::endl;
  }
}

void print_differences(const Comparison& c, std::ostream& out) {
  out << (c.same_machine ? "same machine" : "different machines") << ", "
      << (c.same_build ? "same build" : "different builds") << std::endl;
  if (c.differences.empty()) return;
  out << "differs:" << std::endl;
  std::size_t width = 0;
  for (const ContextDifference& d : c.differences) width = std::max(width, d.field.size());
  for (const ContextDifference& d : c.differences) {
    // One group per distinct value, in order of first appearance.
    std::vector<std::pair<std::string, std::vector<std::size_t>>> groups;
    for (std::size_t i = 0; i < d.values.size(); ++i) {
      auto it = std::find_if(groups.begin(), groups.end(),
                             [&](const auto& g) { return g.first == d.values[i]; });
      if (it == groups.end()) it = groups.insert(groups.end(), {d.values[i], {}});
      it->second.push_back(i);
    }
    std::string line = fmt::format("  {:<{}}", d.field, width);
    for (const auto& [value, files] : groups) {
      line += fmt::format("   {}: {}", file_list(files), value.empty() ? "(none)" : value);
    }
    out << line << std::endl;
  }
}

std::string count_cell(const PointSide& side) {
  if (side.runs == side.scores.size()) return fmt::format("{}", side.runs);
  return fmt::format("{}/{}", side.scores.size(), side.runs);
}

std::string average_cell(const PointSide& side) {
  return side.average ? fmt::format("{:.2f}", *side.average) : std::string(kMissing);
}

std::string interval_cell(const PointComparison& row) {
  if (!row.ci_low_percent || !row.ci_high_percent) return std::string(kMissing);
  return fmt::format("[{}, {}]", change_cell(*row.ci_low_percent),
                     change_cell(*row.ci_high_percent));
}

std::string notes_cell(const PointComparison& row) {
  std::vector<std::string> notes;
  if (row.base.noisy || row.other.noisy) notes.push_back("noisy");
  if (!row.like_for_like) notes.push_back("not like for like");
  if (row.needs_more_runs) notes.push_back("more runs");
  if (row.clock_change_percent) notes.push_back("clock");
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : ", ") + note;
  return text;
}

using Table = std::vector<std::vector<std::string>>;

Table table_of(const Comparison& c) {
  const std::string& variable = c.files.front().document.sweep.variable;
  Table table{{variable == "none" || variable.empty() ? "point" : variable, "file", "base avg", "n",
               "avg", "n", "change", "95% interval", "p", "verdict", "notes"}};
  for (const PointComparison& row : c.rows) {
    table.push_back({
        row.label + (row.occurrence > 0 ? fmt::format(" #{}", row.occurrence + 1) : ""),
        fmt::format("{}", row.file),
        average_cell(row.base),
        count_cell(row.base),
        average_cell(row.other),
        count_cell(row.other),
        row.delta_percent ? change_cell(*row.delta_percent) : std::string(kMissing),
        interval_cell(row),
        row.p_value ? p_cell(*row.p_value) : std::string(kMissing),
        std::string(verdict_name(row.verdict)),
        notes_cell(row),
    });
  }
  return table;
}

// Text columns (point, verdict, notes) to the left, numbers to the right; the
// notes column only when some row has a note, and no trailing blanks.
void print_table(const Comparison& c, std::ostream& out) {
  Table table = table_of(c);
  const bool any_note =
      std::any_of(table.begin() + 1, table.end(), [](const auto& r) { return !r.back().empty(); });
  if (!any_note) {
    for (auto& r : table) r.pop_back();
  }
  const std::size_t columns = table.front().size();
  std::vector<std::size_t> width(columns, 0);
  for (const auto& r : table) {
    for (std::size_t i = 0; i < columns; ++i) width[i] = std::max(width[i], r[i].size());
  }
  auto left = [](std::size_t i) { return i == 0 || i >= 9; };
  for (std::size_t k = 0; k < table.size(); ++k) {
    std::string line;
    for (std::size_t i = 0; i < columns; ++i) {
      if (i > 0) line += " | ";
      const std::size_t w = i + 1 == columns ? 0 : width[i];
      line +=
          left(i) ? fmt::format("{:<{}}", table[k][i], w) : fmt::format("{:>{}}", table[k][i], w);
    }
    if (table[k].back().empty()) line.erase(line.find_last_not_of(" |") + 1);
    out << line << std::endl;
    if (k > 0) continue;
    std::string rule;
    for (std::size_t i = 0; i < columns; ++i) {
      rule +=
          (i > 0 ? "-+-" : "") + std::string(i + 1 == columns ? table[0][i].size() : width[i], '-');
    }
    out << rule << std::endl;
  }
}

void print_side_notes(const Comparison& c, std::ostream& out) {
  std::set<std::tuple<std::string, std::uint32_t>> base_told_noisy;
  std::set<std::tuple<std::string, std::uint32_t>> base_told_empty;
  for (const PointComparison& row : c.rows) {
    const std::string at = point_name(row.variable, row.label, row.occurrence);
    const auto key = std::make_tuple(row.label, row.occurrence);
    const std::pair<const PointSide*, std::size_t> sides[] = {{&row.base, 0},
                                                              {&row.other, row.file}};
    for (const auto& [side, index] : sides) {
      const bool first = index != 0 || base_told_noisy.insert(key).second;
      if (side->noisy && first) {
        out << fmt::format("noisy: {} at {}: spread {:.2f}% (over {:.0f}%): {}",
                           console_safe(c.files[index].name), at,
                           side->spread_percent.value_or(0.0), kNoisySpreadPercent,
                           noisy_explanation(side->conditions))
            << std::endl;
      }
      const bool first_empty = index != 0 || base_told_empty.insert(key).second;
      if (!side->average && first_empty) {
        out << fmt::format("no valid run: {} at {} ({} of {} runs valid)",
                           console_safe(c.files[index].name), at, side->scores.size(), side->runs)
            << std::endl;
      }
    }
  }
}

void print_notes(const Comparison& c, std::ostream& out) {
  print_side_notes(c, out);
  for (const PointComparison& row : c.rows) {
    if (row.like_for_like) continue;
    std::string what;
    for (const std::string& d : row.differing_settings) what += (what.empty() ? "" : ", ") + d;
    out << fmt::format("not like for like: {} at {}: {}", console_safe(c.files[row.file].name),
                       point_name(row.variable, row.label, row.occurrence), what)
        << std::endl;
  }
  for (const PointComparison& row : c.rows) {
    if (!row.clock_change_percent) continue;
    out << fmt::format(
               "clock: {} at {}: {:.0f} MHz against {:.0f} MHz in the base ({}): a change "
               "of the score may be the clock's",
               console_safe(c.files[row.file].name),
               point_name(row.variable, row.label, row.occurrence), *row.other.clock_mhz,
               *row.base.clock_mhz, change_cell(*row.clock_change_percent))
        << std::endl;
  }
  for (const UnmatchedPoint& p : c.unmatched) {
    out << fmt::format("only in some files: {} (in {}; missing in {})",
                       point_name(p.variable, p.label, p.occurrence), file_list(p.present_in),
                       file_list(p.missing_in))
        << std::endl;
  }
  if (std::any_of(c.rows.begin(), c.rows.end(), [](const auto& r) { return r.needs_more_runs; })) {
    out << "unclear: " << kMoreRunsHint << std::endl;
  }
}

void print_summary(const Comparison& c, std::ostream& out) {
  constexpr Verdict kOrder[] = {Verdict::faster, Verdict::slower, Verdict::no_change,
                                Verdict::unclear, Verdict::no_valid_run};
  std::string text;
  for (Verdict v : kOrder) {
    const auto n = std::count_if(c.rows.begin(), c.rows.end(),
                                 [v](const PointComparison& r) { return r.verdict == v; });
    if (n > 0) text += fmt::format("{}{} {}", text.empty() ? "" : ", ", n, verdict_name(v));
  }
  out << fmt::format("{} {} (threshold {:.2f}%){}{}", c.rows.size(),
                     c.rows.size() == 1 ? "comparison" : "comparisons", c.threshold_percent,
                     text.empty() ? "" : ": ", text)
      << std::endl;
}

}  // namespace

std::string change_cell(double percent) {
  if (std::fabs(percent) < 0.005) return "+0.00%";
  return fmt::format("{:+.2f}%", percent);
}

std::string p_cell(double p) {
  if (p < 0.0001) return "<0.0001";
  return fmt::format("{:#.4g}", p);
}

std::string point_name(const std::string& variable, const std::string& label,
                       std::uint32_t occurrence) {
  const std::string nth = occurrence > 0 ? fmt::format(" #{}", occurrence + 1) : "";
  if (variable == "none") return fmt::format("{} (no sweep){}", label, nth);
  return fmt::format("{} {}{}", variable, label, nth);
}

void print_comparison(const Comparison& comparison, std::ostream& out) {
  if (comparison.files.empty()) return;
  print_files(comparison, out);
  if (comparison.files.size() < 2) return;
  print_differences(comparison, out);
  out << std::endl;
  if (!comparison.rows.empty()) {
    print_table(comparison, out);
    out << std::endl;
  }
  print_notes(comparison, out);
  print_summary(comparison, out);
}

}  // namespace brisk
