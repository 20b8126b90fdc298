// A small command-line parser: options are bound by reference to plain fields,
// composed into one parser, and the argument vector is parsed in one pass.
//
// Accepted forms: "--name value", "--name=value", "-n value", "-n=value",
// "-n4". A value option takes the next argument even when it starts with '-'.
// Names match exactly (no abbreviations); anything else, "--", "-", a
// positional argument or an option given a second time is an unrecognized
// token. The help option ends the parse at once, successfully.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "argparse/option.h"

namespace brisk::argparse {

struct ParseResult {
  std::optional<std::string> error;  // the one-line message; empty on success
  bool help = false;                 // the help option ended the parse

  bool ok() const { return !error.has_value(); }
};

class Parser {
 public:
  // Appends an option; the usage text lists options in the order added.
  Parser& add(Option option);
  // Appends every option of `other`, keeping their order.
  Parser& add(const Parser& other);

  // Parses args (the program name excluded), writing the bound fields as
  // options are met. The first failure ends the parse.
  ParseResult parse(const std::vector<std::string>& args) const;
  // Parses argv[1] to argv[argc - 1].
  ParseResult parse(int argc, const char* const* argv) const;

  // The usage text as lines without line ends: "USAGE:", the synopsis line,
  // an empty line, "OPTIONS, ARGUMENTS:" and one or two lines per option.
  std::vector<std::string> usage_lines(std::string_view program) const;
  // The same lines, each ended by "\n".
  std::string usage_text(std::string_view program) const;

  const std::vector<Option>& options() const { return options_; }

 private:
  std::vector<Option> options_;
};

// argv[0] after its last '/' or '\'; empty for a null argument.
std::string program_name(const char* argv0);

}  // namespace brisk::argparse
