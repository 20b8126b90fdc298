#include "compare/comparison.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "bench/score_statistics.h"
#include "compare/stable_context.h"
#include "compare/welch_test.h"

namespace brisk {
namespace {

// A sweep point as matching sees it: labels may repeat in one sweep, so the
// k-th "64" of a size sweep is matched with the k-th "64" of the other.
using PointKey =
    std::tuple<std::string, std::string, std::uint32_t>;  // variable, label, occurrence

std::vector<PointKey> point_keys(const ResultsDocument& document) {
  std::vector<PointKey> keys;
  std::map<std::string, std::uint32_t> seen;
  for (const std::string& label : document.sweep.points) {
    keys.emplace_back(document.sweep.variable, label, seen[label]++);
  }
  return keys;
}

bool same_scores(const PointSide& a, const PointSide& b) {
  if (a.scores.size() != b.scores.size()) return false;
  std::vector<double> x = a.scores;
  std::vector<double> y = b.scores;
  std::sort(x.begin(), x.end());
  std::sort(y.begin(), y.end());
  return x == y;
}

void judge(PointComparison& row, double threshold) {
  if (!row.base.average || !row.other.average) {
    row.verdict = Verdict::no_valid_run;
    return;
  }
  row.delta_percent = (*row.other.average / *row.base.average - 1.0) * 100.0;
  if (same_scores(row.base, row.other)) {
    row.delta_percent = 0.0;
    row.verdict = Verdict::no_change;
  }
  const std::optional<WelchResult> welch = welch_test(row.base.scores, row.other.scores);
  if (welch) {
    row.delta_percent = welch->delta_percent;
    row.p_value = welch->p_value;
    row.ci_low_percent = welch->ci_low_percent;
    row.ci_high_percent = welch->ci_high_percent;
  }
  if (row.verdict == Verdict::no_change) return;
  if (!welch) {
    row.verdict = Verdict::unclear;
    row.needs_more_runs = true;
    return;
  }
  if (welch->p_value < kSignificanceLevel && std::fabs(welch->delta_percent) >= threshold) {
    row.verdict = welch->delta_percent > 0.0 ? Verdict::faster : Verdict::slower;
  } else if (welch->ci_low_percent >= -threshold && welch->ci_high_percent <= threshold) {
    row.verdict = Verdict::no_change;
  } else {
    row.verdict = Verdict::unclear;
    // More runs narrow the interval; with 5 a side already, the hint would
    // promise what it cannot keep: the noise is the machine's.
    const std::size_t fewest = std::min(row.base.scores.size(), row.other.scores.size());
    row.needs_more_runs = fewest < kRunsForAVerdict &&
                          welch->ci_high_percent - welch->ci_low_percent > 2.0 * threshold;
  }
}

PointComparison compare_point(std::size_t file, const PointKey& key, const PointSide& base,
                              const PointSide& other, double threshold) {
  PointComparison row;
  row.file = file;
  std::tie(row.variable, row.label, row.occurrence) = key;
  row.base = base;
  row.other = other;
  if (base.runs > 0 && other.runs > 0) {
    row.like_for_like = same_run_settings(base.settings, other.settings, &row.differing_settings);
  }
  judge(row, threshold);
  if (row.like_for_like && base.clock_mhz && other.clock_mhz && *base.clock_mhz > 0.0) {
    const double change = (*other.clock_mhz / *base.clock_mhz - 1.0) * 100.0;
    if (std::fabs(change) >= kClockNotePercent) row.clock_change_percent = change;
  }
  return row;
}

// Points that not every file has, in the base's order and then each file's.
std::vector<UnmatchedPoint> unmatched_points(const std::vector<std::vector<PointKey>>& keys) {
  std::vector<PointKey> order;
  std::map<PointKey, std::vector<bool>> present;
  for (std::size_t f = 0; f < keys.size(); ++f) {
    for (const PointKey& key : keys[f]) {
      auto [it, added] = present.try_emplace(key, keys.size(), false);
      if (added) order.push_back(key);
      it->second[f] = true;
    }
  }
  std::vector<UnmatchedPoint> out;
  for (const PointKey& key : order) {
    const std::vector<bool>& in = present[key];
    if (std::all_of(in.begin(), in.end(), [](bool b) { return b; })) continue;
    UnmatchedPoint point;
    std::tie(point.variable, point.label, point.occurrence) = key;
    for (std::size_t f = 0; f < in.size(); ++f)
      (in[f] ? point.present_in : point.missing_in).push_back(f);
    out.push_back(std::move(point));
  }
  return out;
}

bool same_facts(
    const std::vector<ComparedFile>& files,
    std::vector<std::pair<std::string, std::string>> (*facts_of)(const ResultsDocument&)) {
  const auto base = facts_of(files.front().document);
  return std::all_of(files.begin() + 1, files.end(),
                     [&](const ComparedFile& file) { return facts_of(file.document) == base; });
}

}  // namespace

// Filled in one pass over the runs. A
// run marked valid without a finite positive score counts as a run, not as a
// score: it could only poison the average.
std::vector<PointSide> point_sides(const ResultsDocument& document) {
  const std::size_t count = document.sweep.points.size();
  std::vector<PointSide> sides(count);
  std::vector<ScoreStatistics> stats(count);
  std::vector<double> clock_sums(count, 0.0);
  std::vector<std::size_t> clock_counts(count, 0);
  for (const DocumentRun& run : document.runs) {
    if (run.point_index >= count) continue;
    PointSide& side = sides[run.point_index];
    if (side.runs++ == 0) side.settings = run.settings;
    if (!run.valid || !std::isfinite(run.score) || run.score <= 0.0) continue;
    side.scores.push_back(run.score);
    side.conditions.push_back({run.sub_run, run.conditions});
    stats[run.point_index].add(run.score);
    if (run.clock_mhz) {
      clock_sums[run.point_index] += *run.clock_mhz;
      ++clock_counts[run.point_index];
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    sides[i].average = stats[i].average();
    if (clock_counts[i] > 0) {
      sides[i].clock_mhz = clock_sums[i] / static_cast<double>(clock_counts[i]);
    }
    if (sides[i].scores.empty()) continue;
    sides[i].spread_percent = stats[i].spread_percent();
    sides[i].noisy = sides[i].spread_percent.value_or(0.0) > kNoisySpreadPercent;
    if (sides[i].noisy) sides[i].noise_cause = noise_cause(sides[i].conditions);
  }
  return sides;
}

PointComparison compare_points(const PointSide& base, const PointSide& other,
                               double threshold_percent) {
  return compare_point(1, PointKey{}, base, other, threshold_percent);
}

std::string_view verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::faster:
      return "faster";
    case Verdict::slower:
      return "slower";
    case Verdict::no_change:
      return "no change";
    case Verdict::unclear:
      return "unclear";
    case Verdict::no_valid_run:
      return "no valid run";
  }
  return "unclear";
}

Comparison compare_files(std::vector<ComparedFile> files, double threshold_percent) {
  Comparison comparison;
  comparison.threshold_percent = threshold_percent;
  comparison.files = std::move(files);
  if (comparison.files.size() < 2) return comparison;
  const std::vector<ComparedFile>& all = comparison.files;
  comparison.differences = stable_differences(all);
  comparison.same_machine = same_facts(all, machine_facts);
  comparison.same_build = same_facts(all, build_facts);

  std::vector<std::vector<PointKey>> keys;
  for (const ComparedFile& file : all) keys.push_back(point_keys(file.document));
  const std::vector<PointSide> base_sides = point_sides(all.front().document);
  for (std::size_t f = 1; f < all.size(); ++f) {
    const std::vector<PointSide> sides = point_sides(all[f].document);
    std::map<PointKey, std::size_t> index;
    for (std::size_t i = 0; i < keys[f].size(); ++i) index.emplace(keys[f][i], i);
    for (std::size_t i = 0; i < keys[0].size(); ++i) {
      const auto found = index.find(keys[0][i]);
      if (found == index.end()) continue;
      comparison.rows.push_back(
          compare_point(f, keys[0][i], base_sides[i], sides[found->second], threshold_percent));
    }
  }
  comparison.unmatched = unmatched_points(keys);
  return comparison;
}

bool significantly_slower(const Comparison& comparison, double percent) {
  return std::any_of(
      comparison.rows.begin(), comparison.rows.end(), [&](const PointComparison& row) {
        return row.like_for_like && row.p_value && *row.p_value < kSignificanceLevel &&
               row.delta_percent && *row.delta_percent < -percent;
      });
}

}  // namespace brisk
