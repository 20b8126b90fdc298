#include "history/history_paths.h"

#include <fmt/format.h>

#include <chrono>
#include <random>

#include "platform/user_folders.h"
#include "results/results_record.h"

namespace brisk {
namespace {

// Crockford's base32 alphabet in lower case: no i, l, o or u to misread.
constexpr char kBase32[] = "0123456789abcdefghjkmnpqrstvwxyz";
constexpr std::size_t kRandomChars = 12;
constexpr std::size_t kIdChars = 8;
constexpr std::size_t kStampChars = 18;  // "2026-12-09T204305Z"

#ifdef _WIN32
constexpr const char* kResultsBelowData = "brisk\\results";
constexpr const char* kCacheBelowUser = "brisk\\cache";
#else
constexpr const char* kResultsBelowData = "brisk/results";
constexpr const char* kCacheBelowUser = "brisk";
#endif

// FNV-1a, 64 bits: stable across builds and platforms, enough to tell folders
// apart in a file name.
std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

std::optional<std::string> results_folder() {
  std::optional<std::string> chosen = environment_variable("BRISK_RESULTS_DIR");
  if (chosen && !chosen->empty()) return chosen;
  const std::optional<std::string> data = user_data_folder();
  if (!data) return std::nullopt;
  return join_path(*data, kResultsBelowData);
}

std::optional<std::string> index_file_for(const std::string& folder) {
  const std::string name = fmt::format("history-{:016x}.idx", fnv1a(folder));
  // BRISK_CACHE_DIR keeps tests and CI away from the user's own cache.
  const std::optional<std::string> chosen = environment_variable("BRISK_CACHE_DIR");
  if (chosen && !chosen->empty()) return join_path(*chosen, name);
  const std::optional<std::string> cache = user_cache_folder();
  if (!cache) return std::nullopt;
  return join_path(join_path(*cache, kCacheBelowUser), name);
}

std::string join_path(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  const bool backslash =
      folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
  return folder + (backslash ? "\\" : "/") + name;
}

std::string history_file_name(std::int64_t unix_seconds, const std::string& random_part) {
  // utc_iso8601 gives "2026-12-09T20:43:05Z"; colons are not allowed in
  // Windows names.
  std::string stamp;
  for (char c : utc_iso8601(unix_seconds)) {
    if (c != ':') stamp += c;
  }
  return stamp + "-" + random_part + ".json";
}

std::string random_name_part() {
  unsigned char bytes[kRandomChars];
  if (!random_bytes(bytes, sizeof bytes)) {
    // No system source: a seeded engine still differs between processes.
    std::random_device device;
    std::mt19937_64 engine(
        device() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(engine());
  }
  std::string part;
  for (unsigned char b : bytes) part += kBase32[b & 31];
  return part;
}

std::string short_id(const std::string& file_name) {
  std::string stem = file_name;
  if (stem.size() > 5 && stem.compare(stem.size() - 5, 5, ".json") == 0) {
    stem.resize(stem.size() - 5);
  }
  if (stem.size() == kStampChars + 1 + kRandomChars && stem[kStampChars] == '-') {
    return stem.substr(kStampChars + 1, kIdChars);
  }
  return stem;
}

}  // namespace brisk
