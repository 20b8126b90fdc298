// Linux answers for the topology: processor records built from sysfs, limited
// to the CPUs this process may run on.
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <tuple>

#include "platform/topology_sysfs.h"

namespace brisk {
namespace {

namespace fs = std::filesystem;
using CpuSet = std::vector<std::uint32_t>;  // ascending

constexpr std::uint32_t kMaxCpu = 65535;

std::optional<std::string> read_text(const fs::path& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::optional<std::uint64_t> read_number(const fs::path& path) {
  const std::optional<std::string> text = read_text(path);
  if (!text) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end == text->data()) return std::nullopt;
  return value;
}

// A CPU set from `list_name` in `dir`, or from `mask_name` where the kernel
// has no list file; none when neither holds a usable set.
std::optional<CpuSet> read_cpus(const fs::path& dir, std::string_view list_name,
                                std::string_view mask_name) {
  if (const auto list = read_text(dir / list_name)) return parse_cpu_list(*list);
  const auto mask = read_text(dir / mask_name);
  if (!mask) return std::nullopt;
  CpuSet cpus = parse_cpu_mask(*mask);
  if (cpus.empty()) return std::nullopt;  // garbage reads as a missing file
  return cpus;
}

CpuSet intersect(const CpuSet& a, const CpuSet& b) {
  CpuSet out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

std::vector<GroupMask> masks_of(const CpuSet& cpus) {
  std::vector<GroupMask> masks;
  for (std::uint32_t cpu : cpus) {
    const auto group = static_cast<std::uint16_t>(cpu / 64);
    if (masks.empty() || masks.back().group != group) masks.push_back({0, group});
    masks.back().mask |= std::uint64_t{1} << (cpu % 64);
  }
  return masks;
}

// Numbers of the directories named <prefix><digits> below `dir`, ascending.
std::vector<std::uint32_t> numbered_entries(const fs::path& dir, std::string_view prefix) {
  std::vector<std::uint32_t> numbers;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::uint32_t n = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [p, err] = std::from_chars(first, last, n);
    if (err == std::errc() && p == last) numbers.push_back(n);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

// Efficiency class per core (indexed like `cores`): on hybrid Intel parts the
// cpu_core PMU lists the performance cores; otherwise a higher cpu_capacity
// ranks higher. Without either, every core is class 0.
std::vector<std::uint8_t> efficiency_classes(const fs::path& root,
                                             const std::vector<CpuSet>& cores) {
  std::vector<std::uint8_t> classes(cores.size(), 0);
  if (const auto big = read_text(root / "cpu_core" / "cpus")) {
    const CpuSet members = parse_cpu_list(*big);
    for (std::size_t i = 0; i < cores.size(); ++i) {
      classes[i] = std::binary_search(members.begin(), members.end(), cores[i].front()) ? 1 : 0;
    }
    return classes;
  }
  std::vector<std::uint64_t> capacity(cores.size());
  for (std::size_t i = 0; i < cores.size(); ++i) {
    const auto value = read_number(root / "system" / "cpu" /
                                   ("cpu" + std::to_string(cores[i].front())) / "cpu_capacity");
    if (!value) return classes;
    capacity[i] = *value;
  }
  std::vector<std::uint64_t> distinct = capacity;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  for (std::size_t i = 0; i < cores.size(); ++i) {
    const auto rank =
        std::lower_bound(distinct.begin(), distinct.end(), capacity[i]) - distinct.begin();
    classes[i] = static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(rank, 255));
  }
  return classes;
}

std::vector<CpuSet> core_sets(const fs::path& cpu_dir, const CpuSet& allowed) {
  std::vector<CpuSet> cores;
  std::set<std::uint32_t> assigned;
  for (std::uint32_t cpu : allowed) {
    if (assigned.count(cpu)) continue;
    const fs::path topo = cpu_dir / ("cpu" + std::to_string(cpu)) / "topology";
    std::optional<CpuSet> siblings = read_cpus(topo, "core_cpus_list", "core_cpus");
    if (!siblings) siblings = read_cpus(topo, "thread_siblings_list", "thread_siblings");
    CpuSet core = siblings ? intersect(*siblings, allowed) : CpuSet{};
    std::erase_if(core, [&](std::uint32_t c) { return assigned.count(c) != 0; });
    if (!std::binary_search(core.begin(), core.end(), cpu)) {
      core.insert(std::lower_bound(core.begin(), core.end(), cpu), cpu);
    }
    assigned.insert(core.begin(), core.end());
    cores.push_back(std::move(core));
  }
  return cores;
}

std::vector<ProcessorRecord> cache_records(const fs::path& cpu_dir, const CpuSet& allowed) {
  std::vector<ProcessorRecord> records;
  std::set<std::tuple<std::uint64_t, std::string, CpuSet>> seen;
  for (std::uint32_t cpu : allowed) {
    const fs::path cache_dir = cpu_dir / ("cpu" + std::to_string(cpu)) / "cache";
    for (std::uint32_t index : numbered_entries(cache_dir, "index")) {
      const fs::path dir = cache_dir / ("index" + std::to_string(index));
      const auto level = read_number(dir / "level");
      const auto shared = read_cpus(dir, "shared_cpu_list", "shared_cpu_map");
      if (!level || !shared || *level > 255) continue;
      CpuSet cpus = intersect(*shared, allowed);
      if (cpus.empty()) continue;
      auto key = std::make_tuple(*level, read_text(dir / "type").value_or(""), cpus);
      if (!seen.insert(std::move(key)).second) continue;
      ProcessorRecord r;
      r.kind = RecordKind::cache;
      r.cache_level = static_cast<std::uint8_t>(*level);
      r.masks = masks_of(cpus);
      records.push_back(std::move(r));
    }
  }
  return records;
}

std::vector<ProcessorRecord> node_records(const fs::path& node_dir, const CpuSet& allowed) {
  std::vector<ProcessorRecord> records;
  for (std::uint32_t node : numbered_entries(node_dir, "node")) {
    const auto cpus = read_cpus(node_dir / ("node" + std::to_string(node)), "cpulist", "cpumap");
    if (!cpus) continue;
    // Windows describes a node once per processor group it spans; so do we.
    for (const GroupMask& m : masks_of(intersect(*cpus, allowed))) {
      ProcessorRecord r;
      r.kind = RecordKind::numa_node;
      r.node_number = node;
      r.masks = {m};
      records.push_back(std::move(r));
    }
  }
  return records;
}

}  // namespace

std::vector<std::uint32_t> parse_cpu_list(std::string_view text) {
  std::set<std::uint32_t> cpus;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view part = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    while (!part.empty() && (part.front() == ' ' || part.front() == '\n')) part.remove_prefix(1);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\n')) part.remove_suffix(1);
    std::uint32_t first = 0, last = 0;
    const char* end = part.data() + part.size();
    const auto head = std::from_chars(part.data(), end, first);
    if (head.ec != std::errc() || head.ptr == part.data()) continue;
    last = first;
    if (head.ptr != end) {
      if (*head.ptr != '-') continue;
      const char* second = head.ptr + 1;
      const auto tail = std::from_chars(second, end, last);
      if (tail.ec != std::errc() || tail.ptr != end || tail.ptr == second) continue;
    }
    if (first > last || last > kMaxCpu) continue;
    for (std::uint32_t cpu = first; cpu <= last; ++cpu) cpus.insert(cpu);
  }
  return {cpus.begin(), cpus.end()};
}

std::vector<std::uint32_t> parse_cpu_mask(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  CpuSet cpus;
  // The last word holds CPUs 0-31, the one before it 32-63, and so on.
  std::uint64_t first_cpu = 0;
  while (!text.empty()) {
    const std::size_t comma = text.rfind(',');
    const std::string_view word = comma == std::string_view::npos ? text : text.substr(comma + 1);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(0, comma);
    if (comma != std::string_view::npos && text.empty()) return {};  // a leading comma
    std::uint32_t bits = 0;
    const char* end = word.data() + word.size();
    const auto [p, ec] = std::from_chars(word.data(), end, bits, 16);
    if (word.empty() || word.size() > 8 || ec != std::errc() || p != end) return {};
    for (std::uint32_t bit = 0; bit < 32 && first_cpu + bit <= kMaxCpu; ++bit) {
      if ((bits >> bit) & 1U) cpus.push_back(static_cast<std::uint32_t>(first_cpu + bit));
    }
    first_cpu += 32;
  }
  return cpus;  // ascending: words and bits were read from the lowest up
}

std::vector<ProcessorRecord> records_from_sysfs(const std::string& devices_root,
                                                const std::vector<std::uint32_t>& allowed_cpus) {
  const fs::path root(devices_root);
  const fs::path cpu_dir = root / "system" / "cpu";
  CpuSet allowed = allowed_cpus;
  std::sort(allowed.begin(), allowed.end());
  allowed.erase(std::unique(allowed.begin(), allowed.end()), allowed.end());
  std::erase_if(allowed, [](std::uint32_t cpu) { return cpu > kMaxCpu; });

  std::vector<ProcessorRecord> records;
  const std::vector<CpuSet> cores = core_sets(cpu_dir, allowed);
  const std::vector<std::uint8_t> classes = efficiency_classes(root, cores);
  for (std::size_t i = 0; i < cores.size(); ++i) {
    ProcessorRecord r;
    r.kind = RecordKind::core;
    r.efficiency_class = classes[i];
    r.masks = masks_of(cores[i]);
    records.push_back(std::move(r));
  }
  for (auto& r : cache_records(cpu_dir, allowed)) records.push_back(std::move(r));
  for (auto& r : node_records(root / "system" / "node", allowed)) records.push_back(std::move(r));
  return records;
}

std::vector<ProcessorRecord> read_processor_records() {
  // A dynamic set, so machines with more CPUs than CPU_SETSIZE work too.
  const long configured = sysconf(_SC_NPROCESSORS_CONF);
  const std::size_t count = std::max<long>(configured, 1) * 4 + 1024;
  cpu_set_t* set = CPU_ALLOC(count);
  if (set == nullptr) return {};
  const std::size_t bytes = CPU_ALLOC_SIZE(count);
  CPU_ZERO_S(bytes, set);
  std::vector<std::uint32_t> allowed;
  if (sched_getaffinity(0, bytes, set) == 0) {
    for (std::size_t cpu = 0; cpu < count && cpu <= kMaxCpu; ++cpu) {
      if (CPU_ISSET_S(cpu, bytes, set)) allowed.push_back(static_cast<std::uint32_t>(cpu));
    }
  }
  CPU_FREE(set);
  if (allowed.empty()) return {};
  return records_from_sysfs("/sys/devices", allowed);
}

std::uint32_t os_processor_count() {
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<std::uint32_t>(online) : 1;
}

}  // namespace brisk
