// Checks of what one benchmark invocation prints, shared by the end-to-end run
// tests: the whole sequence of a single valid run, line by line.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "brisk_version.h"

namespace brisk::cli {

inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Standard error without the warnings about other programs loading the
// machine during a run: they say what this shared machine was doing, not
// what brisk did, and may come with any run.
inline std::string without_load_warnings(const std::string& err) {
  static const std::regex warning(
      "warning: ([^:]+: )?run \\d+: other programs used [\\d.]+% of the processors \\(over "
      "10%\\): its score is lower than the machine's");
  std::string kept;
  for (const std::string& line : split_lines(err)) {
    // A terminal ends its lines with CR LF.
    const std::string bare = line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
    if (!std::regex_match(bare, warning)) kept += line + "\n";
  }
  return kept;
}

// Walks the lines of standard output in order.
class LineCursor {
 public:
  explicit LineCursor(const std::string& out) : lines_(split_lines(out)) {}

  // The next line must be exactly `expected`.
  void exact(const std::string& expected) {
    const std::string line = next();
    EXPECT_EQ(line, expected) << "at line " << at_;
  }
  // The next line must match `pattern`; returns its sub-matches.
  std::smatch match(const std::string& pattern) {
    current_ = next();
    std::smatch found;
    if (!std::regex_match(current_, found, std::regex(pattern))) {
      ADD_FAILURE() << "line " << at_ << " \"" << current_.substr(0, 200) << "\" does not match "
                    << pattern;
    }
    return found;
  }
  // The lines after a results table that place the run in the saved history:
  // at least one, each beginning "history: ".
  void history() {
    std::size_t count = 0;
    while (at_ < lines_.size() && lines_[at_].starts_with("history: ")) ++at_, ++count;
    EXPECT_GT(count, 0u) << "no history line at line " << at_;
  }
  std::string next() { return at_ < lines_.size() ? lines_[at_++] : std::string("<end>"); }
  bool at_end() const { return at_ == lines_.size(); }

 private:
  std::vector<std::string> lines_;
  std::size_t at_ = 0;
  std::string current_;
};

// The benchmark part of one valid run, from the brand string to the final
// score; returns the thread count it announced.
inline int expect_valid_run(LineCursor& lines, const std::string& workload, const std::string& isa,
                            const std::string& threading) {
  const std::string brand = lines.next();
  lines.match(".+");  // the feature list
  const int threads =
      std::stoi(lines.match("running with (\\d+) threads? \\(" + threading + "\\)")[1].str());
  lines.exact("64 x 64 x 64 grid");
  lines.exact("17.55 MiB per thread");
  lines.match("\\d+\\.\\d\\d [KMG]iB total");
  lines.match(
      "Fast Timer Frequency: \\d+(\\.\\d\\d)? [KMG]?Hz \\((TSC|iTSC|HPET|ACPI|PIT|RTC|unknown)\\)");
  lines.match("Coarse Timer Frequency: \\d+(\\.\\d\\d)? K?Hz");
  lines.exact("allocating fields.... ");
  lines.exact("initalizing fields...");
  lines.match("initialization took \\d+ms");
  lines.exact("starting bench..");
  // One line of carriage-return separated progress updates, ended once.
  const std::string progress = lines.next();
  std::size_t updates = 0;
  std::istringstream pieces(progress);
  std::string piece;
  std::getline(pieces, piece, '\r');
  EXPECT_EQ(piece, "") << "the progress line starts with a carriage return";
  const std::regex update("benchmarking\\.\\.\\. [0-2]/1s +\\S+ MGups  \\d+ iterations");
  while (std::getline(pieces, piece, '\r')) {
    ++updates;
    EXPECT_TRUE(std::regex_match(piece, update)) << piece;
  }
  EXPECT_GE(updates, 2u);  // once per step, plus the final line
  lines.exact("validating result..");
  lines.match("thread  grid updates +time +MGups  iterations");
  std::vector<bool> seen(static_cast<std::size_t>(threads), false);
  for (int t = 0; t < threads; ++t) {
    const int index =
        std::stoi(lines.match(" *(\\d+)  +\\d+  +\\d+\\.\\d\\ds  +\\d+\\.\\d\\d  +\\d+")[1].str());
    if (index >= 0 && index < threads) seen[static_cast<std::size_t>(index)] = true;
  }
  EXPECT_EQ(seen, std::vector<bool>(static_cast<std::size_t>(threads), true));
  lines.exact("===============");
  lines.exact("  valid result ");
  lines.exact("===============");
  lines.exact(fmt::format("brisk v{} {} {}", kVersion, workload, isa));
  lines.exact(brand);
  lines.match("final score: \\d+(\\.\\d+)?(e[-+]\\d+)? MGups");
  return threads;
}

// The announcement lines of a sweep with one sub-run per point.
inline void expect_announcements(LineCursor& lines, const std::vector<std::string>& labels,
                                 const std::string& estimate) {
  lines.exact("!!HARNESS!! run values:");
  for (const std::string& label : labels) lines.exact(label);
  lines.exact("!!HARNESS!! estimated total time = " + estimate);
}

inline void expect_run_counter(LineCursor& lines, std::size_t k, std::size_t total) {
  lines.exact("");
  lines.exact("!!HARNESS!! run " + std::to_string(k) + "/" + std::to_string(total));
  lines.exact("");
}

}  // namespace brisk::cli
