#include "argparse/option.h"

#include <algorithm>
#include <utility>

#include "argparse/convert.h"
#include "argparse/join.h"

namespace brisk::argparse {

namespace {

std::string conversion_failure(const std::string& value) {
  return "Unable to convert '" + value + "' to destination type";
}

}  // namespace

Option::Option(Target target, std::string hint, std::string default_text, bool help)
    : target_(target),
      hint_(std::move(hint)),
      default_text_(std::move(default_text)),
      help_(help) {}

Option Option::flag(bool& target) { return Option(&target, "", "", false); }

Option Option::help(bool& target) {
  Option option(&target, "", "", true);
  option.name("-?").name("-h").name("--help").help_text("Display usage information.");
  return option;
}

Option Option::value(std::uint32_t& target, std::string hint) {
  return Option(&target, std::move(hint), std::to_string(target), false);
}

Option Option::value(std::uint64_t& target, std::string hint) {
  return Option(&target, std::move(hint), std::to_string(target), false);
}

Option Option::value(std::string& target, std::string hint) {
  return Option(&target, std::move(hint), target, false);
}

Option& Option::name(std::string option_name) {
  names_.push_back(std::move(option_name));
  return *this;
}

Option& Option::help_text(std::string text) {
  help_text_ = std::move(text);
  return *this;
}

Option& Option::choices(std::vector<std::string> allowed) {
  choices_ = std::move(allowed);
  return *this;
}

Option& Option::record_given(bool& given) {
  given_ = &given;
  return *this;
}

bool Option::is_flag() const { return std::holds_alternative<bool*>(target_); }

bool Option::has_name(std::string_view option_name) const {
  return std::find(names_.begin(), names_.end(), option_name) != names_.end();
}

void Option::set_flag() const {
  if (auto* flag_target = std::get_if<bool*>(&target_)) **flag_target = true;
}

std::optional<std::string> Option::assign(const std::string& value) const {
  if (!choices_.empty() && std::find(choices_.begin(), choices_.end(), value) == choices_.end()) {
    return "Value '" + value + "' not expected. Allowed values are: " + join(choices_, ", ");
  }
  if (auto* u32 = std::get_if<std::uint32_t*>(&target_)) {
    const auto parsed = parse_uint32(value);
    if (!parsed) return conversion_failure(value);
    **u32 = *parsed;
  } else if (auto* u64 = std::get_if<std::uint64_t*>(&target_)) {
    const auto parsed = parse_uint64(value);
    if (!parsed) return conversion_failure(value);
    **u64 = *parsed;
  } else if (auto* text = std::get_if<std::string*>(&target_)) {
    **text = value;
  }
  if (given_ != nullptr) *given_ = true;
  return std::nullopt;
}

}  // namespace brisk::argparse
