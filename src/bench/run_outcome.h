// What one benchmark run returns to the harness: the verdict and score, and
// everything the run measured and reported, for the results files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/run_conditions.h"
#include "bench/run_timeline.h"
#include "bench/thread_result.h"

namespace brisk {

// The processor a threading plan bound a thread to.
struct PlacedProcessor {
  std::uint16_t group = 0;
  std::uint32_t number = 0;  // position within the group
};

// One thread that finished its timed loop.
struct ThreadOutcome {
  ThreadResult result;
  double mgups = 0.0;                        // the rate the per-thread table prints
  std::optional<PlacedProcessor> processor;  // none when the operating system chose
};

// The settings a run really used: the thread count resolved, the duration
// clamped.
struct RunSettings {
  std::uint32_t threads = 0;
  std::uint32_t duration = 0;
  std::uint64_t size = 0;
  std::string threading;
  std::string workload;
  std::string isa;
  bool large_pages = false;
  // The kind of page the fields got ("ordinary", "transparent", "hugetlb",
  // "large"; see field_pages.h). It moves the score like a setting does, so
  // runs on different kinds are not like for like. Empty when no field
  // memory was obtained, or the file that held the run did not say.
  std::string pages;
};

struct RunOutcome {
  double score = 0.0;  // sum of the per-thread MGups; written only for a valid run
  bool valid = false;  // every thread produced a result and the timers agreed
  RunSettings settings;
  // Every line the run printed on standard error, the boxes around them
  // aside: why an invalid run is invalid, or what a valid run warned about.
  std::vector<std::string> messages;
  std::optional<std::int64_t> init_ms;  // "initialization took" as printed
  // Share of all threads' field memory on huge pages, in percent; none when
  // no field memory was obtained.
  std::optional<double> huge_percent;
  std::vector<ThreadOutcome> threads;  // in finishing order
  RunConditions conditions;            // all unknown when the workers never started
  bool workers_started = false;        // false when the run was refused before
  RunTimeline timeline;                // second by second; empty for a refused run
};

}  // namespace brisk
