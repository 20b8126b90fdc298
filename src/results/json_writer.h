// The results record as one JSON document (schema/brisk-results.schema.json).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/results_record.h"

namespace brisk {

inline constexpr const char* kResultsSchemaName = "brisk-results";
inline constexpr int kResultsSchemaVersion = 1;

// The whole document, indented, ending in a newline. Text that is not valid
// UTF-8 (a byte string from the processor or the command line) has the
// offending bytes replaced, so the document is always valid JSON.
std::string render_json(const ResultsRecord& record);

// The document's "machine" and "settings" members, for other documents that
// describe a machine and its settings the same way.
nlohmann::ordered_json machine_json(const MachineContext& machine);
nlohmann::ordered_json settings_json(const BenchConfig& settings);

}  // namespace brisk
