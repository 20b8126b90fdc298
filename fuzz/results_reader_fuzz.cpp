// libFuzzer target: any bytes at all given to the results reader must come
// back as a document or a reason, never a crash, a hang or a leak; a reason
// is printed as it is, so it must hold nothing a terminal acts on; and a
// document it accepts must hold only values the comparison can trust.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "compare/pruned_json.h"
#include "compare/results_reader.h"
#include "compare/results_reader_json.h"
#include "results/console_text.h"

namespace {

bool trustworthy(const brisk::ResultsDocument& document) {
  const brisk::SweepRecord& sweep = document.sweep;
  for (const brisk::DocumentRun& run : document.runs) {
    const brisk::RunSettings& s = run.settings;
    if (run.point_index >= sweep.points.size()) return false;
    if (run.sub_run < 1 || run.sub_run > sweep.sub_runs) return false;
    if (run.valid != (std::isfinite(run.score) && run.score > 0.0 && run.score <= 1e9)) {
      return false;
    }
    if (!run.valid && run.score != 0.0) return false;
    if (run.valid && (s.threads < 1 || s.threads > (1u << 16))) return false;
    if (s.duration < brisk::kMinDuration || s.duration > brisk::kMaxDuration) return false;
    if (run.timeline.size() > s.duration) return false;
    for (const double rate : run.timeline) {
      if (!(std::isfinite(rate) && rate >= 0.0 && rate <= 1e9)) return false;
    }
    if (std::find(brisk::kGridSizes.begin(), brisk::kGridSizes.end(), s.size) ==
        brisk::kGridSizes.end()) {
      return false;
    }
  }
  return true;
}

// The two parsers keep the same parts: whatever the quick one takes, the full
// one takes into the same tree.
void check_parsers_agree(std::string_view text) {
  if (brisk::first_invalid_utf8(text)) return;
  nlohmann::json quick;
  if (!brisk::parse_json_pruned(text, quick)) return;
  nlohmann::json kept;
  if (brisk::parse_json_kept(text, kept) || kept != quick) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_parsers_agree(text);
  brisk::ResultsDocument document;
  if (const auto failure = brisk::parse_results_document(text, document)) {
    if (brisk::console_safe(*failure) != *failure) std::abort();
    return 0;
  }
  if (!trustworthy(document)) std::abort();
  return 0;
}
