#include "history/history_index.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "compare/results_reader_json.h"

namespace brisk {
namespace {

using nlohmann::json;

constexpr const char* kIndexFormat = "brisk-history-index";
// 2: the runs' page kind joined the settings, and entries carry the listing's
// mark; an index of version 1 lacks them and is rebuilt.
constexpr int kIndexVersion = 2;

json settings_json(const RunSettings& s) {
  return json::array(
      {s.threads, s.duration, s.size, s.threading, s.workload, s.isa, s.large_pages, s.pages});
}

RunSettings settings_from(const json& j) {
  RunSettings s;
  s.threads = j.at(0).get<std::uint32_t>();
  s.duration = j.at(1).get<std::uint32_t>();
  s.size = j.at(2).get<std::uint64_t>();
  s.threading = j.at(3).get<std::string>();
  s.workload = j.at(4).get<std::string>();
  s.isa = j.at(5).get<std::string>();
  s.large_pages = j.at(6).get<bool>();
  s.pages = j.at(7).get<std::string>();
  return s;
}

json config_json(const BenchConfig& c) {
  return json::array({c.numthreads, c.duration, c.size, c.threading, c.workload, c.isa,
                      c.strict_isa_check, c.large_pages, c.bypass_timer_check});
}

BenchConfig config_from(const json& j) {
  BenchConfig c;
  c.numthreads = j.at(0).get<std::uint32_t>();
  c.duration = j.at(1).get<std::uint32_t>();
  c.size = j.at(2).get<std::uint64_t>();
  c.threading = j.at(3).get<std::string>();
  c.workload = j.at(4).get<std::string>();
  c.isa = j.at(5).get<std::string>();
  c.strict_isa_check = j.at(6).get<bool>();
  c.large_pages = j.at(7).get<bool>();
  c.bypass_timer_check = j.at(8).get<bool>();
  return c;
}

// A file name as the index keeps it: its text, or its bytes when it is not
// UTF-8 (anyone may name a file in a shared folder). JSON text cannot hold
// such a name, and one changed on the way would never be found again: its
// document would be read and the index rewritten on every start.
json name_json(const std::string& name) {
  if (!first_invalid_utf8(name)) return name;
  json bytes = json::array();
  for (const char c : name) bytes.push_back(static_cast<unsigned char>(c));
  return bytes;
}

std::string name_from(const json& j) {
  if (j.is_string()) return j.get<std::string>();
  std::string name;
  for (const json& byte : j) name += static_cast<char>(byte.get<std::uint8_t>());
  return name;
}

json entry_json(const HistoryEntry& e) {
  json j = {{"f", name_json(e.file_name)}, {"s", e.size}, {"m", e.mtime_ns}};
  if (e.skipped) {
    j["x"] = *e.skipped;
    return j;
  }
  json points = json::array();
  for (const PointSummary& p : e.points) {
    points.push_back(
        {{"i", p.index}, {"l", p.label}, {"r", settings_json(p.settings)}, {"v", p.scores}});
  }
  j.update({{"t", e.start_time},
            {"b", e.cpu_brand},
            {"k", e.machine_key},
            {"c", config_json(e.settings)},
            {"w", e.sweep_variable},
            {"p", std::move(points)},
            {"d", e.finished}});
  if (e.mark) j["n"] = *e.mark;
  return j;
}

HistoryEntry entry_from(const json& j) {
  HistoryEntry e;
  e.file_name = name_from(j.at("f"));
  e.size = j.at("s").get<std::uint64_t>();
  e.mtime_ns = j.at("m").get<std::int64_t>();
  if (j.contains("x")) {
    e.skipped = j.at("x").get<std::string>();
    return e;
  }
  e.start_time = j.at("t").get<std::string>();
  e.cpu_brand = j.at("b").get<std::string>();
  e.machine_key = j.at("k").get<std::string>();
  e.settings = config_from(j.at("c"));
  e.sweep_variable = j.at("w").get<std::string>();
  for (const json& p : j.at("p")) {
    PointSummary point;
    point.index = p.at("i").get<std::size_t>();
    point.label = p.at("l").get<std::string>();
    point.settings = settings_from(p.at("r"));
    point.scores = p.at("v").get<std::vector<double>>();
    double sum = 0.0;
    for (double score : point.scores) sum += score;
    if (!point.scores.empty() && sum > 0.0) {
      point.average = sum / static_cast<double>(point.scores.size());
    }
    e.points.push_back(std::move(point));
  }
  e.finished = j.at("d").get<bool>();
  if (j.contains("n")) e.mark = j.at("n").get<std::string>();
  return e;
}

}  // namespace

std::string render_index(const std::string& folder, const std::vector<HistoryEntry>& entries) {
  json entries_json = json::array();
  for (const HistoryEntry& entry : entries) entries_json.push_back(entry_json(entry));
  const json index = {{"format", kIndexFormat},
                      {"version", kIndexVersion},
                      {"folder", folder},
                      {"entries", std::move(entries_json)}};
  // Replacement of invalid UTF-8 keeps a strange file name from making the
  // whole index unwritable.
  return index.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool parse_index(std::string_view text, const std::string& folder, std::vector<HistoryEntry>& out) {
  out.clear();
  try {
    const json index = json::parse(text.begin(), text.end(), nullptr, false);
    if (index.is_discarded() || !index.is_object()) return false;
    if (index.value("format", "") != kIndexFormat || index.value("version", 0) != kIndexVersion ||
        index.value("folder", "") != folder) {
      return false;
    }
    for (const json& entry : index.at("entries")) {
      out.push_back(entry_from(entry));
      out.back().id.clear();
    }
    return true;
  } catch (const std::exception&) {
    out.clear();
    return false;
  }
}

std::optional<std::string> read_small_file(const std::string& path, std::uint64_t max_bytes) {
  try {
    const std::filesystem::path native(std::u8string(path.begin(), path.end()));
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(native, error);
    if (error || size > max_bytes) return std::nullopt;
    std::ifstream in(native, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) return std::nullopt;
    return text.str();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace brisk
