// The per-user folders brisk keeps its results history and caches in, and the
// few file-system questions the history asks: all paths are UTF-8, so any
// Unicode name works on both platforms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisk {

// The environment variable `name` as UTF-8; none when unset. An empty value
// is returned as empty: callers decide whether empty means unset.
std::optional<std::string> environment_variable(const std::string& name);

// Where the per-user data lives: %LOCALAPPDATA% (SHGetKnownFolderPath) on
// Windows; on Linux $XDG_DATA_HOME when absolute, else $HOME/.local/share.
// None when there is no such folder (no home, HOME unset or not absolute).
std::optional<std::string> user_data_folder();
// Where per-user caches live: %LOCALAPPDATA% on Windows (callers add their own
// "cache" level); on Linux $XDG_CACHE_HOME when absolute, else $HOME/.cache.
std::optional<std::string> user_cache_folder();

// The pure XDG rule both Linux folders follow: `xdg` when it is an absolute
// path, else `home` + `fallback` when home is absolute, else none.
std::optional<std::string> xdg_folder(const std::optional<std::string>& xdg,
                                      const std::optional<std::string>& home,
                                      const std::string& fallback);

// Makes `path` and every missing parent; nothing when it exists as a folder,
// the system's reason otherwise.
std::optional<std::string> make_folders(const std::string& path);

struct FolderEntry {
  std::string name;           // file name only, UTF-8
  std::uint64_t size = 0;     // bytes
  std::int64_t mtime_ns = 0;  // modification time, ns since 1970 (any fixed origin works)
};

// The regular files directly in `path` whose names end in ".json" (hidden
// names starting with '.' left out: temporary files of an atomic replace).
// A folder that does not exist lists as empty. On failure returns the reason
// and leaves `out` empty.
std::optional<std::string> list_json_files(const std::string& path, std::vector<FolderEntry>& out);

// Fills `out` with bytes from the system's secure random source
// (getrandom/urandom, BCryptGenRandom); false when none could be had.
bool random_bytes(void* out, std::size_t size);

// Seconds since 1970 (UTC), now.
std::int64_t unix_time_now();

}  // namespace brisk
