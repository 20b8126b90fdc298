#include "history/history_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <new>
#include <unordered_map>

#include "compare/results_reader.h"
#include "compare/stable_context.h"
#include "history/history_index.h"
#include "history/history_paths.h"
#include "platform/file_replace.h"
#include "platform/topology.h"
#include "platform/user_folders.h"
#include "results/console_text.h"
#include "results/record_context.h"

namespace brisk {
namespace {

// An index larger than this is not believed; 10,000 documents take a few MB.
constexpr std::uint64_t kMaxIndexBytes = 512ull << 20;

// load_results_file names the path; the history lists the file by name
// already, so keep only what is wrong.
std::string skip_reason(const std::string& path, const std::string& failure) {
  const std::string prefix = fmt::format("cannot read results file \"{}\": ", console_safe(path));
  if (failure.compare(0, prefix.size(), prefix) == 0) return failure.substr(prefix.size());
  return failure;
}

HistoryEntry read_entry(const std::string& path, const FolderEntry& file) {
  HistoryEntry entry;
  ResultsDocument document;
  if (std::optional<std::string> failure = load_results_file(path, document)) {
    entry.file_name = file.name;
    entry.skipped = skip_reason(path, *failure);
  } else {
    entry = summarize_document(file.name, document);
  }
  entry.size = file.size;
  entry.mtime_ns = file.mtime_ns;
  return entry;
}

std::unordered_map<std::string, HistoryEntry> load_index(const std::string& folder,
                                                         const std::optional<std::string>& path) {
  std::unordered_map<std::string, HistoryEntry> by_name;
  if (!path) return by_name;
  const std::optional<std::string> text = read_small_file(*path, kMaxIndexBytes);
  std::vector<HistoryEntry> entries;
  if (!text || !parse_index(*text, folder, entries)) return by_name;
  for (HistoryEntry& entry : entries) {
    std::string name = entry.file_name;
    by_name.emplace(std::move(name), std::move(entry));
  }
  return by_name;
}

// A cache: failing to write it changes nothing but the next start's speed.
void save_index(const std::string& folder, const std::string& path,
                const std::vector<HistoryEntry>& entries) {
  const std::size_t cut = path.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0 && make_folders(path.substr(0, cut))) return;
  (void)replace_file_atomically(path, render_index(folder, entries));
}

}  // namespace

HistoryStore HistoryStore::open(const std::string& folder,
                                const std::optional<std::string>& index_path) {
  HistoryStore store;
  store.folder_ = folder;
  try {
    std::vector<FolderEntry> files;
    store.folder_error_ = list_json_files(folder, files);
    std::unordered_map<std::string, HistoryEntry> cached = load_index(folder, index_path);
    bool changed = cached.size() != files.size();
    store.entries_.reserve(files.size());
    for (const FolderEntry& file : files) {
      auto found = cached.find(file.name);
      if (found != cached.end() && found->second.size == file.size &&
          found->second.mtime_ns == file.mtime_ns) {
        store.entries_.push_back(std::move(found->second));
      } else {
        store.entries_.push_back(read_entry(store.path_of_name(file.name), file));
        changed = true;
      }
    }
    std::sort(
        store.entries_.begin(), store.entries_.end(),
        [](const HistoryEntry& a, const HistoryEntry& b) { return a.file_name > b.file_name; });
    for (HistoryEntry& entry : store.entries_) entry.id = short_id(entry.file_name);
    if (changed && index_path) save_index(folder, *index_path, store.entries_);
  } catch (const std::bad_alloc&) {
    store.entries_.clear();
    store.folder_error_ = "out of memory";
  }
  return store;
}

HistoryStore HistoryStore::open_default() {
  const std::optional<std::string> folder = results_folder();
  if (!folder) return HistoryStore{};
  return open(*folder, index_file_for(*folder));
}

std::size_t HistoryStore::skipped_count() const {
  return static_cast<std::size_t>(
      std::count_if(entries_.begin(), entries_.end(),
                    [](const HistoryEntry& e) { return e.skipped.has_value(); }));
}

std::string HistoryStore::path_of(const HistoryEntry& entry) const {
  return path_of_name(entry.file_name);
}

std::string HistoryStore::path_of_name(const std::string& name) const {
  return join_path(folder_, name);
}

std::optional<std::string> skipped_warning(const HistoryStore& store) {
  const std::size_t skipped = store.skipped_count();
  if (skipped == 0) return std::nullopt;
  return fmt::format("warning: skipped {} file{} in \"{}\" that {} not readable brisk results",
                     skipped, skipped == 1 ? "" : "s", store.folder(), skipped == 1 ? "is" : "are");
}

void warn_skipped_once(const HistoryStore& store) {
  static std::atomic<bool> warned{false};
  const std::optional<std::string> line = skipped_warning(store);
  if (line && !warned.exchange(true)) std::cerr << *line << std::endl;
}

std::string current_machine_key() {
  TopologyHolder topology;
  const ResultsRecord record = start_record({}, BenchConfig{}, SweepRequest{}, topology);
  return machine_key(document_from_record(record));
}

}  // namespace brisk
