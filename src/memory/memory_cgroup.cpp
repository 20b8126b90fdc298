#include "memory/memory_cgroup.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace brisk {
namespace {

// v1 writes its "no limit" as the largest page count times the page size,
// just under 2^63; no real limit comes near 2^62 bytes.
constexpr std::uint64_t kUnlimitedV1 = std::uint64_t{1} << 62;

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<std::uint64_t> parse_u64(std::string_view text) {
  text = trim(text);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::string> read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return text.str();
}

std::optional<std::uint64_t> read_number(const std::filesystem::path& path) {
  const std::optional<std::string> text = read_file(path);
  return text ? parse_u64(*text) : std::nullopt;
}

// The value of `key` in a memory.stat file ("key value" lines); 0 when absent.
std::uint64_t stat_value(const std::filesystem::path& path, std::string_view key) {
  const std::optional<std::string> text = read_file(path);
  if (!text) return 0;
  for (const std::string_view line : split(*text, '\n')) {
    const std::size_t blank = line.find(' ');
    if (blank != std::string_view::npos && line.substr(0, blank) == key) {
      return parse_u64(line.substr(blank + 1)).value_or(0);
    }
  }
  return 0;
}

std::uint64_t room_under(std::uint64_t limit, std::uint64_t usage, std::uint64_t inactive_file) {
  usage -= std::min(usage, inactive_file);
  return usage >= limit ? 0 : limit - usage;
}

// The smallest room over the directory top/relative and its parents up to
// top; `level_room` gives one directory's room, or nothing without a limit.
// A path that climbs out of the mount ("..") is only judged at top.
template <typename LevelRoom>
std::optional<std::uint64_t> tightest_room(const std::filesystem::path& top,
                                           std::string_view relative, LevelRoom level_room) {
  std::vector<std::string_view> parts;
  for (const std::string_view part : split(relative, '/')) {
    if (part == "..") {
      parts.clear();
      break;
    }
    if (!part.empty() && part != ".") parts.push_back(part);
  }
  std::optional<std::uint64_t> tightest;
  for (std::size_t depth = parts.size() + 1; depth-- > 0;) {
    std::filesystem::path directory = top;
    for (std::size_t i = 0; i < depth; ++i) directory /= std::string(parts[i]);
    const std::optional<std::uint64_t> room = level_room(directory);
    if (room && (!tightest || *room < *tightest)) tightest = room;
  }
  return tightest;
}

// The cgroup `path` relative to the cgroup the mount shows at its top; empty
// (the top itself) when the path lies outside what the mount shows.
std::string_view relative_to_mount(std::string_view mount_root, std::string_view path) {
  if (mount_root == "/") return path;
  if (path == mount_root) return {};
  if (path.substr(0, mount_root.size()) == mount_root && path.size() > mount_root.size() &&
      path[mount_root.size()] == '/') {
    return path.substr(mount_root.size());
  }
  return {};
}

std::filesystem::path below(const std::filesystem::path& root, const std::string& mount_point) {
  return root / std::filesystem::path(mount_point).relative_path();
}

// mountinfo escapes blanks and backslashes in paths as three octal digits.
std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string_view digits = text.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out.push_back(
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

bool lists(std::string_view comma_list, std::string_view name) {
  const std::vector<std::string_view> names = split(comma_list, ',');
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The process's cgroup paths, as /proc/self/cgroup lists them.
struct CgroupMembership {
  std::optional<std::string> unified;  // the "0::/path" line (v2)
  std::optional<std::string> memory;   // the line naming the v1 memory controller
};

// Where a hierarchy is mounted, and which of its cgroups the mount shows as
// its top (not "/" when a container sees only its own subtree).
struct CgroupMount {
  std::string root;
  std::string mount_point;
};
struct CgroupMounts {
  std::optional<CgroupMount> unified;  // the cgroup2 mount
  std::optional<CgroupMount> memory;   // the v1 mount with the memory controller
};

CgroupMembership parse_proc_cgroup(std::string_view text) {
  CgroupMembership membership;
  for (const std::string_view line : split(text, '\n')) {
    // hierarchy-ID:controller-list:path, where the path may hold colons.
    const std::size_t first = line.find(':');
    if (first == std::string_view::npos) continue;
    const std::size_t second = line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view id = line.substr(0, first);
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string path(trim(line.substr(second + 1)));
    if (path.empty() || path[0] != '/') continue;
    if (id == "0" && controllers.empty()) {
      if (!membership.unified) membership.unified = path;
    } else if (lists(controllers, "memory") && !membership.memory) {
      membership.memory = path;
    }
  }
  return membership;
}

CgroupMounts parse_mountinfo(std::string_view text) {
  CgroupMounts mounts;
  for (const std::string_view line : split(text, '\n')) {
    // ID parent major:minor root mount-point options [optional...] - type source super-options
    const std::vector<std::string_view> fields = split(line, ' ');
    const auto dash = std::find(fields.begin(), fields.end(), "-");
    if (dash == fields.end() || dash - fields.begin() < 6 || fields.end() - dash < 4) continue;
    const std::string_view type = dash[1];
    const std::string_view super_options = dash[3];
    CgroupMount mount{unescape(fields[3]), unescape(fields[4])};
    if (type == "cgroup2" && !mounts.unified) {
      mounts.unified = std::move(mount);
    } else if (type == "cgroup" && lists(super_options, "memory") && !mounts.memory) {
      mounts.memory = std::move(mount);
    }
  }
  return mounts;
}

std::optional<std::uint64_t> cgroup_v2_room(const CgroupPlace& place) {
  return tightest_room(
      place.top, place.relative,
      [](const std::filesystem::path& dir) -> std::optional<std::uint64_t> {
        const std::optional<std::uint64_t> limit = read_number(dir / "memory.max");
        const std::optional<std::uint64_t> usage = read_number(dir / "memory.current");
        if (!limit || !usage) return std::nullopt;  // "max", missing, garbage
        return room_under(*limit, *usage, stat_value(dir / "memory.stat", "inactive_file"));
      });
}

std::optional<std::uint64_t> cgroup_v1_room(const CgroupPlace& place) {
  return tightest_room(
      place.top, place.relative,
      [](const std::filesystem::path& dir) -> std::optional<std::uint64_t> {
        const std::optional<std::uint64_t> limit = read_number(dir / "memory.limit_in_bytes");
        const std::optional<std::uint64_t> usage = read_number(dir / "memory.usage_in_bytes");
        if (!limit || !usage || *limit >= kUnlimitedV1) return std::nullopt;
        return room_under(*limit, *usage, stat_value(dir / "memory.stat", "total_inactive_file"));
      });
}

}  // namespace

CgroupPlaces locate_cgroups(std::string_view proc_cgroup, std::string_view mountinfo,
                            const std::filesystem::path& filesystem_root) {
  const CgroupMembership membership = parse_proc_cgroup(proc_cgroup);
  const CgroupMounts mounts = parse_mountinfo(mountinfo);
  const auto place = [&filesystem_root](const CgroupMount& mount, const std::string& path) {
    return CgroupPlace{below(filesystem_root, mount.mount_point),
                       std::string(relative_to_mount(mount.root, path))};
  };
  CgroupPlaces places;
  if (membership.unified) {
    places.unified =
        place(mounts.unified.value_or(CgroupMount{"/", "/sys/fs/cgroup"}), *membership.unified);
  }
  if (membership.memory) {
    places.memory = place(mounts.memory.value_or(CgroupMount{"/", "/sys/fs/cgroup/memory"}),
                          *membership.memory);
  }
  return places;
}

std::optional<std::uint64_t> cgroup_memory_room(const CgroupPlaces& places) {
  const std::optional<std::uint64_t> v2 =
      places.unified ? cgroup_v2_room(*places.unified) : std::nullopt;
  const std::optional<std::uint64_t> v1 =
      places.memory ? cgroup_v1_room(*places.memory) : std::nullopt;
  if (v1 && v2) return std::min(*v1, *v2);
  return v1 ? v1 : v2;
}

}  // namespace brisk
