// The comparison of results documents: every other document's sweep points
// matched with the base's by sweep variable and label, the change of each
// point's average with its uncertainty, and a one-word verdict.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/run_conditions.h"
#include "bench/score_statistics.h"
#include "compare/results_document.h"

namespace brisk {

inline constexpr double kDefaultThresholdPercent = 2.0;
inline constexpr double kSignificanceLevel = 0.05;
// From this difference of the measured clocks on, a point's note says the
// clock moved: a change of the score may be the clock's.
inline constexpr double kClockNotePercent = 3.0;

enum class Verdict { faster, slower, no_change, unclear, no_valid_run };

// "faster", "slower", "no change", "unclear", "no valid run".
std::string_view verdict_name(Verdict verdict);

// The hint shown beside an "unclear" that more runs would settle.
inline constexpr std::size_t kRunsForAVerdict = 5;
inline constexpr std::string_view kMoreRunsHint =
    "5 or more sub-runs per point give a verdict on this machine";

// One side of a matched point: one file's runs at that point.
struct PointSide {
  std::vector<double> scores;            // the valid sub-runs' scores, in order
  std::uint32_t runs = 0;                // sub-runs at the point, valid or not
  std::optional<double> average;         // as the harness table shows it
  std::optional<double> spread_percent;  // (max / min - 1) * 100
  bool noisy = false;                    // spread_percent > kNoisySpreadPercent
  // What was measured during the valid runs, numbered by sub-run, and for a
  // noisy side the cause they point to ("the hypervisor took 4.1% during
  // run 2"); none for a side that is not noisy.
  std::vector<NumberedConditions> conditions;
  std::optional<std::string> noise_cause;
  RunSettings settings;  // of the point's first run
  // The mean over the valid runs of each run's mean measured clock, in MHz;
  // none where no valid run has one.
  std::optional<double> clock_mhz;
};

struct PointComparison {
  std::size_t file = 0;          // index into Comparison::files, never 0 (the base)
  std::string label;             // the point's label ("none", "4", "avx2", ...)
  std::uint32_t occurrence = 0;  // 0 for the first point with this label in the sweep
  PointSide base;
  PointSide other;
  std::optional<double> delta_percent;  // none when either average is missing
  std::optional<double> p_value;        // none when a side has fewer than 2 valid runs
  std::optional<double> ci_low_percent;
  std::optional<double> ci_high_percent;
  Verdict verdict = Verdict::unclear;
  // Unclear with fewer than 2 valid runs on a side, or with an interval wider
  // than 2 x the threshold, which no centre could fit into "no change".
  bool needs_more_runs = false;
  bool like_for_like = true;
  std::vector<std::string> differing_settings;  // "threads 2 vs 4", "isa sse2 vs avx2", ...
  std::string variable;  // the sweep variable both files share ("threads", "none", ...)
  // (other / base - 1) * 100 of the sides' measured clocks, where both have
  // one and the point is like for like, and they differ by kClockNotePercent
  // or more; none otherwise.
  std::optional<double> clock_change_percent;
};

// A point of some files that has no match in the base, or a base point that
// some file lacks.
struct UnmatchedPoint {
  std::string label;
  std::uint32_t occurrence = 0;
  std::vector<std::size_t> present_in;  // indices into Comparison::files
  std::vector<std::size_t> missing_in;
  std::string variable;  // of the sweep the point belongs to: an unmatched point
                         // may come from a file whose sweep varies something else
};

// A stable fact of the files that is not the same in all of them.
struct ContextDifference {
  std::string field;                // "cpu.brand", "os.version", "settings.isa", ...
  std::vector<std::string> values;  // one per file, in the order of Comparison::files
};

struct ComparedFile {
  std::string name;  // as the user gave it (a path or a history reference)
  ResultsDocument document;
  bool incomplete = false;  // "finished": false
};

struct Comparison {
  double threshold_percent = kDefaultThresholdPercent;
  std::vector<ComparedFile> files;  // files[0] is the base
  std::vector<ContextDifference> differences;
  bool same_machine = false;          // no difference among the machine's stable facts
  bool same_build = false;            // same brisk version, compiler and target
  std::vector<PointComparison> rows;  // file by file, then in the base's sweep order
  std::vector<UnmatchedPoint> unmatched;
};

// Every sweep point's side of one document, in sweep order: its valid
// scores, run count, average, spread and first run's settings.
std::vector<PointSide> point_sides(const ResultsDocument& document);

// One point compared with another, wherever the two come from: the change,
// its interval, p and the verdict exactly as compare_files gives them.
PointComparison compare_points(const PointSide& base, const PointSide& other,
                               double threshold_percent);

// Compares files[1..] with files[0]; with fewer than two files there is
// nothing to compare and only `files` is filled. Points are matched by sweep
// variable, label and occurrence; the same scores on both sides (in any order)
// are the same measurement and compare as exactly 0%, no change.
Comparison compare_files(std::vector<ComparedFile> files, double threshold_percent);

// Whether some like-for-like row is slower by more than `percent` with
// p < kSignificanceLevel: the CI gate of --fail-slower.
bool significantly_slower(const Comparison& comparison, double percent);

}  // namespace brisk
