#include "compare/results_reader_fields.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace brisk {
namespace {

using Json = nlohmann::json;

// C0 controls, DEL and the C1 controls (U+0080..U+009F, which some terminals
// take as the start of an escape sequence). `text` is valid UTF-8.
bool has_control_character(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

}  // namespace

void JsonFields::fail(const JsonPlace& place, std::string_view what) {
  if (failure_) return;
  failure_ = place.path.empty() ? std::string(what) : fmt::format("{}: {}", place.path, what);
}

bool JsonFields::expect(const JsonPlace& place, bool condition, std::string_view what) {
  if (!place.value) return false;
  if (!condition) fail(place, what);
  return ok();
}

JsonPlace JsonFields::root(const Json& document) {
  const JsonPlace place{&document, ""};
  if (!document.is_object()) {
    fail(place, "not a brisk results document: the JSON is not an object");
    return {};
  }
  return place;
}

JsonPlace JsonFields::member(const JsonPlace& object, std::string_view name) {
  if (!expect(object, object.value && object.value->is_object(), "expected an object")) return {};
  JsonPlace place{
      nullptr, object.path.empty() ? std::string(name) : fmt::format("{}.{}", object.path, name)};
  const auto found = object.value->find(name);
  if (found == object.value->end()) {
    fail(place, "missing");
    return {};
  }
  place.value = &*found;
  return place;
}

JsonPlace JsonFields::optional_member(const JsonPlace& object, std::string_view name) {
  if (!expect(object, object.value && object.value->is_object(), "expected an object")) return {};
  if (object.value->find(name) == object.value->end()) return {};
  return member(object, name);
}

std::size_t JsonFields::array_size(const JsonPlace& array) {
  if (!expect(array, array.value && array.value->is_array(), "expected an array")) return 0;
  return array.value->size();
}

JsonPlace JsonFields::element(const JsonPlace& array, std::size_t index) {
  if (array_size(array) <= index) return {};
  return {&(*array.value)[index], fmt::format("{}[{}]", array.path, index)};
}

std::string JsonFields::text(const JsonPlace& place) {
  if (!expect(place, place.value && place.value->is_string(), "expected a string")) return {};
  const std::string& value = place.value->get_ref<const std::string&>();
  if (!expect(place, !has_control_character(value), "holds a control character")) return {};
  return value;
}

std::optional<std::string> JsonFields::text_or_null(const JsonPlace& place) {
  if (is_null(place)) return std::nullopt;
  if (place.value && !place.value->is_string()) {
    fail(place, "expected a string or null");
    return std::nullopt;
  }
  std::string value = text(place);
  if (!ok()) return std::nullopt;
  return value;
}

std::string JsonFields::choice(const JsonPlace& place, std::span<const std::string_view> choices) {
  std::string value = text(place);
  if (!ok()) return {};
  if (std::find(choices.begin(), choices.end(), value) == choices.end()) {
    fail(place, fmt::format("\"{}\" is not one of {}", value, fmt::join(choices, ", ")));
    return {};
  }
  return value;
}

bool JsonFields::boolean(const JsonPlace& place) {
  if (!expect(place, place.value && place.value->is_boolean(), "expected true or false")) {
    return false;
  }
  return place.value->get<bool>();
}

std::uint64_t JsonFields::unsigned_in(const JsonPlace& place, std::uint64_t low,
                                      std::uint64_t high) {
  if (!expect(place, place.value && place.value->is_number_unsigned(),
              "expected an unsigned integer")) {
    return low;
  }
  const auto value = place.value->get<std::uint64_t>();
  if (!expect(place, value >= low && value <= high,
              fmt::format("{} is out of range {}..{}", value, low, high))) {
    return low;
  }
  return value;
}

std::optional<std::uint64_t> JsonFields::unsigned_or_null(const JsonPlace& place,
                                                          std::uint64_t high) {
  if (is_null(place)) return std::nullopt;
  if (place.value && !place.value->is_number_unsigned()) {
    fail(place, "expected an unsigned integer or null");
    return std::nullopt;
  }
  const std::uint64_t value = unsigned_in(place, 0, high);
  if (!ok()) return std::nullopt;
  return value;
}

std::int64_t JsonFields::signed_in(const JsonPlace& place, std::int64_t low, std::int64_t high) {
  if (!expect(place, place.value && place.value->is_number_integer(), "expected an integer")) {
    return low;
  }
  const bool fits = !place.value->is_number_unsigned() ||
                    place.value->get<std::uint64_t>() <=
                        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const std::int64_t value = fits ? place.value->get<std::int64_t>() : high;
  if (!expect(place, fits && value >= low && value <= high,
              fmt::format("{} is out of range {}..{}", place.value->dump(), low, high))) {
    return low;
  }
  return value;
}

double JsonFields::number(const JsonPlace& place) {
  if (!expect(place, place.value && place.value->is_number(), "expected a number")) return 0.0;
  return place.value->get<double>();
}

bool JsonFields::is_null(const JsonPlace& place) const {
  return place.value && place.value->is_null();
}

}  // namespace brisk
