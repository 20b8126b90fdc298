// Shared pieces of the history tests: environment variables set for one test
// and restored after it, and results documents of this machine (or another)
// written into a folder.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/scratch_dir.h"
#include "platform/topology.h"
#include "results/json_writer.h"
#include "results/record_context.h"

namespace brisk::testing {

inline void set_env(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

// Sets variables for the lifetime of the guard, then puts the old values back.
class EnvGuard {
 public:
  EnvGuard(std::vector<std::pair<std::string, std::optional<std::string>>> values) {
    for (auto& [name, value] : values) {
      const char* old = std::getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      set_env(name, value);
    }
  }
  ~EnvGuard() {
    for (auto& [name, value] : saved_) set_env(name, value);
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A history folder and a cache folder, both in a scratch dir, named by the
// environment for the test's lifetime: nothing touches the real user folders.
class HistoryHome {
 public:
  HistoryHome()
      : env_({{"BRISK_RESULTS_DIR", scratch_.utf8("results")},
              {"XDG_CACHE_HOME", scratch_.utf8("cache")},
              {"BRISK_CACHE_DIR", scratch_.utf8("cache")},
              {"XDG_DATA_HOME", scratch_.utf8("data")},
              {"HOME", scratch_.utf8("home")},
              {"LOCALAPPDATA", scratch_.utf8("local")}}) {
    std::filesystem::create_directories(scratch_.path() / "results");
  }
  const ScratchDir& scratch() const { return scratch_; }
  std::string results() const { return scratch_.utf8("results"); }
  std::string cache() const { return scratch_.utf8("cache"); }

 private:
  ScratchDir scratch_;
  EnvGuard env_;
};

// A record of this machine, started once per test program (probing the
// machine takes a moment).
inline const ResultsRecord& machine_record() {
  static const ResultsRecord record = [] {
    TopologyHolder topology;
    return start_record({"brisk"}, BenchConfig{}, SweepRequest{"none", "", 1}, topology);
  }();
  return record;
}

struct PointSpec {
  std::string label;
  std::vector<double> scores;  // 0 = an invalid run
  std::uint32_t threads = 4;
};

// A finished sweep of this machine started at `start_time`.
inline ResultsRecord make_record(const std::string& start_time, std::vector<PointSpec> points,
                                 const std::string& variable = "none") {
  ResultsRecord record = machine_record();
  record.start_time = start_time;
  record.end_time = start_time;
  record.finished = true;
  record.settings.duration = 1;
  record.settings.size = 64;
  record.sweep = {variable, "", 0, {}};
  for (std::size_t p = 0; p < points.size(); ++p) {
    record.sweep.points.push_back(points[p].label);
    std::uint32_t sub = 0;
    for (double score : points[p].scores) {
      RunOutcome outcome;
      outcome.valid = score > 0;
      outcome.score = score;
      outcome.settings = {points[p].threads, 1,      64,    "os",
                          "standing_wave",   "sse2", false, "ordinary"};
      record.runs.push_back({p, ++sub, outcome});
    }
    record.sweep.sub_runs = std::max(record.sweep.sub_runs, sub);
  }
  return record;
}

inline void save_record(const std::string& folder, const std::string& name,
                        const ResultsRecord& record) {
  write_file(utf8_path(folder + "/" + name), render_json(record));
}

}  // namespace brisk::testing
