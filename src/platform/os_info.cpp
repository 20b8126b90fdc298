#include "platform/os_info.h"

namespace brisk {
namespace {

// One os-release value without its shell quoting: '...' is literal, "..."
// honours the escapes \" \\ \$ \`, anything else is taken as written.
std::string unquote(std::string_view value) {
  std::string out;
  char quote = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (quote != '\'' && c == '\\' && i + 1 < value.size()) {
      out += value[++i];
    } else {
      out += c;
    }
  }
  return out;
}

std::string_view trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

OsInfo parse_os_release(std::string_view text) {
  std::string pretty_name, name, version_id;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    // Whole keys only: VERSION and VERSION_CODENAME are not VERSION_ID.
    if (key == "PRETTY_NAME") {
      pretty_name = unquote(line.substr(equals + 1));
    } else if (key == "NAME") {
      name = unquote(line.substr(equals + 1));
    } else if (key == "VERSION_ID") {
      version_id = unquote(line.substr(equals + 1));
    }
  }
  OsInfo info;
  info.family = "linux";
  info.name = !pretty_name.empty() ? pretty_name : !name.empty() ? name : "Linux";
  info.version = version_id;
  return info;
}

}  // namespace brisk
