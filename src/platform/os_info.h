// Which operating system brisk runs on, for the results files: no host name,
// no user name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisk {

struct OsInfo {
  std::string family;                  // "linux" or "windows"
  std::string name;                    // distribution name / "Windows"
  std::string version;                 // distribution version / "major.minor"; may be empty
  std::optional<std::uint32_t> build;  // Windows build number
  std::optional<std::string> kernel;   // Linux kernel release (uname -r)
  std::optional<std::string> wine;     // Wine's version when running under Wine
};

// The running system, asked afresh.
OsInfo read_os_info();

// Linux: name (PRETTY_NAME, else NAME, else "Linux") and version (VERSION_ID)
// from the text of /etc/os-release, with shell quoting removed.
OsInfo parse_os_release(std::string_view text);

}  // namespace brisk
