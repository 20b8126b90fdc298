// Taking typed values out of an untrusted JSON tree, one member at a time,
// with the member's path in every complaint ("runs[3].settings.threads:
// expected an unsigned integer"). The first complaint sticks: later reads
// return defaults and change nothing, so a reader can go straight through a
// document and ask once, at the end, whether it was sound.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brisk {

// A value in the document and its path; `value` is null once reading failed.
struct JsonPlace {
  const nlohmann::json* value = nullptr;
  std::string path;  // "" for the whole document
};

class JsonFields {
 public:
  // The whole document, which must be an object.
  JsonPlace root(const nlohmann::json& document);
  // Member `name` of the object at `object`; a complaint when it is missing.
  JsonPlace member(const JsonPlace& object, std::string_view name);
  // Member `name` when the object has it; a place without a value (and no
  // complaint) when not: for members that older documents lack.
  JsonPlace optional_member(const JsonPlace& object, std::string_view name);
  // The elements of the array at `array` (none after a complaint).
  std::size_t array_size(const JsonPlace& array);
  JsonPlace element(const JsonPlace& array, std::size_t index);

  // Text without control characters (a document's text ends up on a terminal).
  std::string text(const JsonPlace& place);
  std::optional<std::string> text_or_null(const JsonPlace& place);
  // Text equal to one of `choices`.
  std::string choice(const JsonPlace& place, std::span<const std::string_view> choices);
  bool boolean(const JsonPlace& place);
  // A JSON integer (no fraction, no exponent) within [low, high].
  std::uint64_t unsigned_in(const JsonPlace& place, std::uint64_t low, std::uint64_t high);
  std::optional<std::uint64_t> unsigned_or_null(const JsonPlace& place, std::uint64_t high);
  std::int64_t signed_in(const JsonPlace& place, std::int64_t low, std::int64_t high);
  // Any JSON number, as a double; the parser admits only finite ones.
  double number(const JsonPlace& place);
  bool is_null(const JsonPlace& place) const;

  // Records `what` for `place` unless something was recorded before.
  void fail(const JsonPlace& place, std::string_view what);
  bool ok() const { return !failure_; }
  const std::optional<std::string>& failure() const { return failure_; }

 private:
  bool expect(const JsonPlace& place, bool condition, std::string_view what);

  std::optional<std::string> failure_;
};

}  // namespace brisk
