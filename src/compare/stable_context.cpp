#include "compare/stable_context.h"

#include <fmt/format.h>

#include <cstdint>

namespace brisk {
namespace {

using Facts = std::vector<std::pair<std::string, std::string>>;

std::string yes_no(bool value) { return value ? "true" : "false"; }

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += ' ';
    text += item;
  }
  return text;
}

// 64-bit FNV-1a: the same bytes give the same key on every build and platform.
void fnv1a(std::uint64_t& hash, std::string_view bytes) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
}

}  // namespace

Facts machine_facts(const ResultsDocument& document) {
  const MachineContext& m = document.machine;
  return {
      {"cpu.brand", m.cpu.brand},
      {"cpu.vendor", m.cpu.vendor},
      {"cpu.family", fmt::format("{}", m.cpu.family)},
      {"cpu.model", fmt::format("{}", m.cpu.model)},
      {"cpu.stepping", fmt::format("{}", m.cpu.stepping)},
      {"cpu.features", joined(m.cpu.features)},
      {"cpu.hypervisor", yes_no(m.cpu.hypervisor)},
      {"topology.packages", fmt::format("{}", m.topology.packages)},
      {"topology.numa_nodes", fmt::format("{}", m.topology.numa_nodes)},
      {"topology.cores", fmt::format("{}", m.topology.cores)},
      {"topology.logical_processors", fmt::format("{}", m.topology.logical_processors)},
      {"memory.total_bytes", fmt::format("{}", m.total_memory)},
      {"os.name", m.os.name},
      {"os.version", m.os.version},
      {"os.wine", m.os.wine.value_or("none")},
  };
}

Facts build_facts(const ResultsDocument& document) {
  return {
      {"brisk.version", document.build.version},
      {"brisk.compiler", document.build.compiler},
      {"brisk.target", document.build.target},
  };
}

Facts settings_facts(const ResultsDocument& document) {
  const BenchConfig& s = document.settings;
  return {
      {"settings.numthreads", s.numthreads == 0 ? "auto" : fmt::format("{}", s.numthreads)},
      {"settings.duration", fmt::format("{}", s.duration)},
      {"settings.size", fmt::format("{}", s.size)},
      {"settings.threading", s.threading},
      {"settings.workload", s.workload},
      {"settings.isa", s.isa},
      {"settings.strict_isa_check", yes_no(s.strict_isa_check)},
      {"settings.large_pages", yes_no(s.large_pages)},
      {"settings.bypass_timer_check", yes_no(s.bypass_timer_check)},
      {"sweep.variable", document.sweep.variable},
  };
}

std::string machine_key(const ResultsDocument& document) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const auto& [name, value] : machine_facts(document)) {
    // Each part with its length first, so ("ab", "c") and ("a", "bc") differ.
    fnv1a(hash, fmt::format("{}:{}={}:{};", name.size(), name, value.size(), value));
  }
  return fmt::format("{:016x}", hash);
}

namespace {

void add_differences(const std::vector<ComparedFile>& files,
                     Facts (*facts_of)(const ResultsDocument&),
                     std::vector<ContextDifference>& out) {
  std::vector<Facts> all;
  all.reserve(files.size());
  for (const ComparedFile& file : files) all.push_back(facts_of(file.document));
  for (std::size_t i = 0; i < all.front().size(); ++i) {
    bool same = true;
    for (const Facts& facts : all) same = same && facts[i].second == all.front()[i].second;
    if (same) continue;
    ContextDifference difference{all.front()[i].first, {}};
    for (const Facts& facts : all) difference.values.push_back(facts[i].second);
    out.push_back(std::move(difference));
  }
}

}  // namespace

std::vector<ContextDifference> stable_differences(const std::vector<ComparedFile>& files) {
  std::vector<ContextDifference> out;
  if (files.empty()) return out;
  add_differences(files, machine_facts, out);
  add_differences(files, build_facts, out);
  add_differences(files, settings_facts, out);
  return out;
}

bool same_run_settings(const RunSettings& base, const RunSettings& other,
                       std::vector<std::string>* differing) {
  bool same = true;
  auto check = [&](std::string_view name, const auto& a, const auto& b) {
    if (a == b) return;
    same = false;
    if (differing != nullptr) differing->push_back(fmt::format("{} {} vs {}", name, a, b));
  };
  check("threads", base.threads, other.threads);
  check("size", base.size, other.size);
  check("duration", base.duration, other.duration);
  check("isa", base.isa, other.isa);
  check("workload", base.workload, other.workload);
  check("threading", base.threading, other.threading);
  check("large_pages", yes_no(base.large_pages), yes_no(other.large_pages));
  // Huge pages move a score as much as a setting does. A side that does not
  // say (an older file, no field memory obtained) is taken to match.
  if (!base.pages.empty() && !other.pages.empty()) check("pages", base.pages, other.pages);
  return same;
}

}  // namespace brisk
