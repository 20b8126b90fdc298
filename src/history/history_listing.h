// The history as brisk history shows it: console lines, a CSV for
// spreadsheets and the data of the trend page.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "history/history_store.h"

namespace brisk {

struct ListingRequest {
  bool all_machines = false;  // otherwise only entries with `machine_key`
  std::string machine_key;
  std::size_t limit = 0;  // 0: every entry
};

// The readable entries selected by `request`, newest first.
std::vector<const HistoryEntry*> select_entries(const HistoryStore& store,
                                                const ListingRequest& request);

// The console lines: a heading, one line per selected entry (id, date,
// processor, settings, sweep and score(s), "unfinished" when it is), then one
// line per skipped file with its reason. A sweep of more than a few points
// shows its variable, range, point count and best point instead of every
// score (render_history_csv has them all).
std::vector<std::string> listing_lines(const HistoryStore& store,
                                       const std::vector<const HistoryEntry*>& selected,
                                       const ListingRequest& request);

// One CSV row per point of each selected entry (a one-point sweep gives one
// row per saved run), with a header row; lines end with CR LF.
std::string render_history_csv(const std::vector<const HistoryEntry*>& selected);

// The trend page's data: a JSON array with one object per point of each
// selected entry, oldest first.
std::string render_history_json(const std::vector<const HistoryEntry*>& selected);

// "threads 4, size 64, 1 s, avx2, standing_wave" of the settings the command
// line gave ("threads auto" for 0).
std::string config_text(const BenchConfig& config);

}  // namespace brisk
