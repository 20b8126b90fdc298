#include "history/history_reference.h"

#include <fmt/format.h>

#include <charconv>
#include <new>
#include <vector>

#include "compare/results_reader.h"
#include "compare/stable_context.h"
#include "history/history_store.h"
#include "platform/file_read.h"
#include "results/console_text.h"

namespace brisk {
namespace {

// N of "last~N"; none when `text` is not of that form.
std::optional<std::size_t> last_offset(const std::string& text) {
  if (text == "last") return 0;
  if (text.rfind("last~", 0) != 0 || text.size() == 5) return std::nullopt;
  std::size_t n = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data() + 5, end, n);
  if (error != std::errc() || ptr != end) return std::nullopt;
  return n;
}

std::vector<const HistoryEntry*> this_machine(const HistoryStore& store, const std::string& key) {
  std::vector<const HistoryEntry*> mine;
  for (const HistoryEntry& entry : store.entries()) {
    if (!entry.skipped && entry.machine_key == key) mine.push_back(&entry);
  }
  return mine;
}

// The entry's highest average among the points run like one of `other`'s
// (any point when `other` is null).
std::optional<double> best_matching_average(const HistoryEntry& entry,
                                            const ResultsDocument* other) {
  if (!other) return best_point_average(entry);
  const std::vector<PointSummary> wanted = summarize_points(*other);
  std::optional<double> best;
  for (const PointSummary& point : entry.points) {
    if (!point.average) continue;
    for (const PointSummary& w : wanted) {
      if (same_run_settings(w.settings, point.settings) && (!best || *point.average > *best)) {
        best = point.average;
      }
    }
  }
  return best;
}

std::string no_saved(const HistoryStore& store, const std::string& what) {
  if (store.folder().empty()) {
    return fmt::format("no results file \"{}\", and no results folder to look for saved results",
                       console_safe(what));
  }
  return fmt::format("no saved result \"{}\" of this machine in \"{}\" (see brisk history)",
                     console_safe(what), store.folder());
}

std::optional<std::string> by_name(const std::string& text, const ResultsDocument* other_side,
                                   const HistoryStore& store, const HistoryEntry*& found) {
  if (const std::optional<std::size_t> offset = last_offset(text)) {
    const auto mine = this_machine(store, current_machine_key());
    if (*offset >= mine.size()) return no_saved(store, text);
    found = mine[*offset];
    return std::nullopt;
  }
  if (text == "best") {
    std::optional<double> best;
    for (const HistoryEntry* entry : this_machine(store, current_machine_key())) {
      // The other side is never its own best: a run compared with "best"
      // is already saved, and "brisk compare best last" means another one.
      // Documents of this machine that started in the same second are one.
      if (other_side && entry->start_time == other_side->start_time) continue;
      const std::optional<double> average = best_matching_average(*entry, other_side);
      if (average && (!best || *average > *best)) {
        best = average;
        found = entry;
      }
    }
    if (!found) return no_saved(store, text);
    return std::nullopt;
  }
  std::vector<const HistoryEntry*> matches;
  for (const HistoryEntry& entry : store.entries()) {
    if (!entry.skipped && !text.empty() && entry.id.rfind(text, 0) == 0) matches.push_back(&entry);
  }
  if (matches.empty()) {
    return fmt::format("no results file or saved result named \"{}\" (see brisk history)",
                       console_safe(text));
  }
  if (matches.size() > 1) {
    std::string ids;
    for (const HistoryEntry* entry : matches) {
      ids += (ids.empty() ? "" : ", ") + console_safe(entry->id);
    }
    return fmt::format("saved result id \"{}\" is ambiguous: {}", console_safe(text), ids);
  }
  found = matches.front();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> resolve_results_argument(const std::string& text,
                                                    const ResultsDocument* other_side,
                                                    ComparedFile& out, const HistoryStore* store) {
  try {
    out.name = text;
    std::string path = text;
    if (!is_regular_file_utf8(text)) {
      std::optional<HistoryStore> opened;
      if (!store) store = &opened.emplace(HistoryStore::open_default());
      warn_skipped_once(*store);
      const HistoryEntry* found = nullptr;
      if (auto failure = by_name(text, other_side, *store, found)) return failure;
      path = store->path_of(*found);
    }
    if (auto failure = load_results_file(path, out.document)) return failure;
    out.incomplete = !out.document.finished;
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    return fmt::format("cannot read results \"{}\": out of memory", console_safe(text));
  }
}

}  // namespace brisk
