// Where the results history lives and where its index is cached, and the
// names of the files in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisk {

// The results folder: BRISK_RESULTS_DIR when set and not empty, else
// <user data>/brisk/results; none when neither can be had (no home).
std::optional<std::string> results_folder();

// The index file of `folder`'s history in the per-user cache
// (<cache>/brisk/history-<hash>.idx, or in BRISK_CACHE_DIR when set); none
// when there is no cache folder.
std::optional<std::string> index_file_for(const std::string& folder);

// `folder` and `name` joined with the folder's own separator.
std::string join_path(const std::string& folder, const std::string& name);

// "2026-12-09T204305Z-<12 random characters>.json" for a time in seconds
// since 1970 and 12 random characters.
std::string history_file_name(std::int64_t unix_seconds, const std::string& random_part);

// 12 characters of lower-case base32 from the system's random source.
std::string random_name_part();

// The short id of a history file name: the first 8 characters of its random
// part; the name without ".json" when it does not follow the pattern.
std::string short_id(const std::string& file_name);

}  // namespace brisk
