// A fresh, empty directory under the system's temporary folder for one test,
// removed with everything in it when the test ends.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace brisk::testing {

class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = base / ("brisk-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) return;
    }
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // `relative` (UTF-8) inside the directory, as the UTF-8 text brisk's
  // interfaces take.
  std::string utf8(const std::string& relative = "") const {
    const std::u8string dir = path_.u8string();
    std::string text(dir.begin(), dir.end());
    return relative.empty() ? text : text + "/" + relative;
  }

  // Every entry below the directory, as sorted UTF-8 relative paths with '/'
  // separators.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      const std::u8string name = entry.path().lexically_relative(path_).generic_u8string();
      names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// The path of a UTF-8 name, whatever the platform's own encoding.
inline std::filesystem::path utf8_path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_file(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

}  // namespace brisk::testing
