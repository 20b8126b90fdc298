// One command-line option: its names, the field it writes, its usage texts and
// the values it accepts. Options are plain descriptions; Parser does the work.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brisk::argparse {

class Option {
 public:
  // A flag: sets `target` to true when given; takes no value.
  static Option flag(bool& target);
  // The standard help option "-?", "-h", "--help" ("Display usage information."):
  // sets `target` and ends the parse successfully at once.
  static Option help(bool& target);
  // Value options writing the bound field. `hint` names the value in the usage
  // text. The field's value at this moment becomes the listed default.
  static Option value(std::uint32_t& target, std::string hint);
  static Option value(std::uint64_t& target, std::string hint);
  static Option value(std::string& target, std::string hint);

  // Adds a name, with its dashes ("-n", "--numthreads"); names keep their order.
  Option& name(std::string option_name);
  // The help text shown in the usage listing.
  Option& help_text(std::string text);
  // Restricts the value to these texts (exact, case-sensitive), checked before conversion.
  Option& choices(std::vector<std::string> allowed);
  // Sets `given` to true whenever a value is stored, so a caller can tell an
  // empty value from an option never given.
  Option& record_given(bool& given);

  bool is_flag() const;
  bool is_help() const { return help_; }
  const std::vector<std::string>& names() const { return names_; }
  const std::string& hint() const { return hint_; }
  const std::string& help_text() const { return help_text_; }
  const std::vector<std::string>& choices() const { return choices_; }
  // The bound field's value when the option was built, as text; empty for flags.
  const std::string& default_text() const { return default_text_; }
  bool has_name(std::string_view option_name) const;

  // Sets a flag's field to true.
  void set_flag() const;
  // Checks and stores a value for a value option; the failure text otherwise.
  std::optional<std::string> assign(const std::string& value) const;

 private:
  using Target = std::variant<bool*, std::uint32_t*, std::uint64_t*, std::string*>;
  Option(Target target, std::string hint, std::string default_text, bool help);

  Target target_;
  std::string hint_;
  std::string default_text_;
  bool help_ = false;
  std::vector<std::string> names_;
  std::string help_text_;
  std::vector<std::string> choices_;
  bool* given_ = nullptr;
};

}  // namespace brisk::argparse
