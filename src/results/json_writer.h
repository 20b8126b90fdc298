// The results record as one JSON document (schema/brisk-results.schema.json).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/results_record.h"

namespace brisk {

inline constexpr const char* kResultsSchemaName = "brisk-results";
inline constexpr int kResultsSchemaVersion = 1;

// The whole document, ending in a newline, laid out as append_compact_json
// does: indented, with each per-thread array on one line. Text that is not
// valid UTF-8 (a byte string from the processor or the command line) has the
// offending bytes replaced, so the document is always valid JSON.
std::string render_json(const ResultsRecord& record);

// The same document in parts, for a file brought up to date run by run:
// render_json is the head, then each written run's text (the first with
// `first` set) in order, then the tail. A finished run's text never changes;
// the head changes only with the record's header (the sweep's points, the end
// time), the tail after every run (the summary).
std::string render_json_head(const ResultsRecord& record);
std::string render_json_run(const ResultsRecord& record, const RunRecord& run, bool first);
std::string render_json_tail(const ResultsRecord& record, bool any_run);
// Whether the document holds `run`: not while its point is unknown to the
// sweep.
bool is_written_run(const ResultsRecord& record, const RunRecord& run);

// The document's "machine" and "settings" members, for other documents that
// describe a machine and its settings the same way.
nlohmann::ordered_json machine_json(const MachineContext& machine);
nlohmann::ordered_json settings_json(const BenchConfig& settings);

}  // namespace brisk
