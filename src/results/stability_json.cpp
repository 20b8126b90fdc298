#include "results/stability_json.h"

#include "results/json_or_null.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

// Expected and found values as text: exact, and a NaN still has a form.
Json failure_json(const StabilityFailure& failure) {
  Json json{{"round", failure.round}, {"wrong_value", failure.wrong_value}};
  if (failure.mismatch) {
    const GridMismatch& m = *failure.mismatch;
    json["wrong_values"] = m.wrong_values;
    json["checked_values"] = m.checked_values;
    json["first_wrong_value"] = mismatch_place(m);
    json["expected"] = exact_double(m.expected);
    json["found"] = exact_double(m.found);
  } else {
    json["wrong_values"] = nullptr;
    json["checked_values"] = nullptr;
    json["first_wrong_value"] = nullptr;
    json["expected"] = nullptr;
    json["found"] = nullptr;
  }
  json["text"] = failure.text;
  return json;
}

Json row_json(const StabilityRow& row) {
  const LogicalProcessor& p = row.target.processor;
  return Json{{"package", or_null(row.target.package)},
              {"core", row.target.core},
              {"processor", {{"group", p.group}, {"number", p.os_index}}},
              {"mgups", or_null(row.mgups)},
              {"clock_mhz", or_null(row.clock_mhz)},
              {"slow", row.slow},
              {"failure", row.failure ? failure_json(*row.failure) : Json(nullptr)}};
}

}  // namespace

Json stability_json(const StabilityRecord& stability) {
  Json rows = Json::array();
  for (const StabilityRow& row : stability.rows) rows.push_back(row_json(row));
  return Json{{"rounds", stability.rounds}, {"rows", std::move(rows)}};
}

}  // namespace brisk
