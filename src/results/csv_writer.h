// The runs of the record as CSV (RFC 4180): a header row, then one row per
// finished run, for spreadsheets and scripts.
#pragma once

#include <string>
#include <string_view>

#include "results/results_record.h"

namespace brisk {

// One field as RFC 4180 wants it: quoted, with its quotes doubled, when it
// holds a comma, a quote, a carriage return or a line feed; as it is otherwise.
std::string csv_field(std::string_view text);

// A text that came from someone else's file, as csv_field writes it, except
// that one starting with =, +, -, @, a tab or a carriage return gets a leading
// apostrophe: spreadsheets would otherwise run it as a formula.
std::string csv_foreign_text(std::string_view text);

// The header row and one row per run, each ended with CR LF. The reason
// field holds an invalid run's lines joined with LF.
std::string render_csv(const ResultsRecord& record);

}  // namespace brisk
