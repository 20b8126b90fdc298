#include "harness/harness_runner.h"

#include <iostream>
#include <string_view>
#include <utility>

#include "harness/harness_sweep.h"
#include "harness/harness_vars.h"

namespace brisk {
namespace {

using Generator = HarnessRuns (*)(std::string_view, const brisk_harness_context&);

Generator generator_for(std::string_view var) {
  if (var == "none") return h_none_var::gen;
  if (var == "size") return h_size_var::gen;
  if (var == "duration") return h_dur_var::gen;
  if (var == "threads") return static_cast<Generator>(h_threads_var::gen);
  if (var == "isa") return h_isa_var::gen;
  return nullptr;
}

}  // namespace

void run_harness(harness_settings& settings, const BenchConfig& config, TopologyHolder& topology) {
  run_harness(settings, brisk_harness_context{&config, &topology, {}});
}

void run_harness(harness_settings& settings, const brisk_harness_context& context) {
  const Generator gen = generator_for(settings.var);
  if (gen == nullptr) {
    std::cerr << "unknown var " << settings.var << std::endl;
    return;
  }
  HarnessRuns points = gen(settings.option_string, context);
  if (!points) {
    std::cerr << "couldn't generate runs for harness for " << settings.var << '\t'
              << settings.option_string << std::endl;
    return;
  }
  settings.runs = std::move(*points);
  perform_sweep(settings);
}

}  // namespace brisk
