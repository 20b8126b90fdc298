#include "argparse/parser.h"

#include <cstddef>
#include <utility>

#include "argparse/join.h"

namespace brisk::argparse {

namespace {

// An argument resolved to an option: which one, its name as typed and the
// value written into the same argument, if any.
struct Match {
  std::size_t index = 0;
  std::string name;
  std::optional<std::string> attached;
};

std::optional<std::size_t> find_option(const std::vector<Option>& options, std::string_view name) {
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (options[i].has_name(name)) return i;
  }
  return std::nullopt;
}

std::optional<Match> match_token(const std::vector<Option>& options, const std::string& token) {
  if (token.size() < 2 || token[0] != '-') return std::nullopt;
  // "--name=value" and "-n=value".
  const std::size_t equals = token.find('=');
  if (equals != std::string::npos) {
    std::string name = token.substr(0, equals);
    if (const auto index = find_option(options, name)) {
      return Match{*index, std::move(name), token.substr(equals + 1)};
    }
  }
  if (const auto index = find_option(options, token)) return Match{*index, token, std::nullopt};
  // "-n4": a one-letter name with its value glued on.
  if (token[1] != '-' && token.size() > 2) {
    std::string name = token.substr(0, 2);
    if (const auto index = find_option(options, name)) {
      return Match{*index, std::move(name), token.substr(2)};
    }
  }
  return std::nullopt;
}

std::string hint_suffix(const Option& option) {
  return option.is_flag() ? std::string() : " <" + option.hint() + ">";
}

// The help text with the default value the option was built with.
std::string listed_help(const Option& option) {
  std::string text = option.help_text();
  if (!option.is_flag() && !option.default_text().empty()) {
    if (!text.empty()) text += ' ';
    text += "[default: " + option.default_text() + "]";
  }
  return text;
}

}  // namespace

Parser& Parser::add(Option option) {
  options_.push_back(std::move(option));
  return *this;
}

Parser& Parser::add(const Parser& other) {
  for (const Option& option : other.options_) options_.push_back(option);
  return *this;
}

ParseResult Parser::parse(const std::vector<std::string>& args) const {
  std::vector<bool> seen(options_.size(), false);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& token = args[i];
    const auto match = match_token(options_, token);
    if (!match || seen[match->index]) return {"Unrecognized token: " + token};
    seen[match->index] = true;
    const Option& option = options_[match->index];
    if (option.is_flag()) {
      if (match->attached) {
        return {"Flag option '" + match->name + "' contains value '" + *match->attached + "'."};
      }
      option.set_flag();
      if (option.is_help()) return {std::nullopt, true};
      continue;
    }
    std::string value;
    if (match->attached) {
      value = *match->attached;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return {"Expected argument following " + match->name};
    }
    if (auto failure = option.assign(value)) return {std::move(failure)};
  }
  return {};
}

ParseResult Parser::parse(int argc, const char* const* argv) const {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return parse(args);
}

std::vector<std::string> Parser::usage_lines(std::string_view program) const {
  // Help texts start at column 27: two blanks, a left part padded to 23, a blank.
  constexpr std::size_t kLeftWidth = 23;
  const std::string indent(2, ' ');

  std::string synopsis = indent + std::string(program);
  for (const Option& option : options_) {
    synopsis += " [" + join(option.names(), "|") + hint_suffix(option) + "]";
  }
  std::vector<std::string> lines = {"USAGE:", synopsis, "", "OPTIONS, ARGUMENTS:"};
  for (const Option& option : options_) {
    std::string left = join(option.names(), ", ") + hint_suffix(option);
    const std::string help = listed_help(option);
    if (left.size() <= kLeftWidth) {
      left.resize(kLeftWidth, ' ');
      lines.push_back(indent + left + " " + help);
    } else {
      lines.push_back(indent + left);
      lines.push_back(std::string(indent.size() + kLeftWidth + 1, ' ') + help);
    }
  }
  return lines;
}

std::string Parser::usage_text(std::string_view program) const {
  std::string text;
  for (const std::string& line : usage_lines(program)) text += line + "\n";
  return text;
}

std::string program_name(const char* argv0) {
  if (argv0 == nullptr) return {};
  const std::string_view path(argv0);
  const std::size_t slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace brisk::argparse
