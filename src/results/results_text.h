// A record's JSON document kept as text while its sweep goes on, so that
// bringing it up to date after a run costs that run, not the whole sweep:
// each finished run is rendered once, when it arrives, and only the small
// head and tail are rendered again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "results/results_record.h"

namespace brisk {

class ResultsText {
 public:
  // Brings the text up to `record`. A record holds the runs of the previous
  // call and maybe more after them; one with fewer is rendered anew.
  void update(const ResultsRecord& record);

  // The document in order: head, runs, tail. Together they are
  // render_json(record) of the last update.
  std::array<std::string_view, 3> pieces() const { return {head_, runs_, tail_}; }
  // Within one epoch the document only grows at its end, before the tail:
  // the first stable_bytes() of any of its versions stay in every later
  // version of the same epoch. A new epoch begins when the head changes (the
  // sweep's points become known, the sweep ends).
  std::uint64_t epoch() const { return epoch_; }
  std::size_t stable_bytes() const { return head_.size() + runs_.size(); }

 private:
  std::string head_;
  std::string runs_;
  std::string tail_;
  std::size_t seen_runs_ = 0;  // of record.runs, written or not
  bool any_run_ = false;
  std::uint64_t epoch_ = 0;
};

// The concatenation of `pieces`.
std::string joined(std::span<const std::string_view> pieces);

}  // namespace brisk
