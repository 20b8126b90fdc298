#include "results/compact_json.h"

namespace brisk {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kIndentWidth = 2;

// nlohmann's own serializer for a whole value on one line: it writes numbers
// in their shortest round-trip form, the precision the value has.
void append_one_line(std::string& out, const Json& value) {
  out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool is_container(const Json& value) { return value.is_array() || value.is_object(); }

// Whether every member or element of `value` is a plain value.
bool holds_only_plain_values(const Json& value) {
  for (const Json& child : value) {
    if (is_container(child)) return false;
  }
  return true;
}

// Containers of plain values, or of such containers: a thread's record with
// its processor, one thread's timeline.
bool fits_one_line(const Json& value) {
  if (!is_container(value)) return true;
  for (const Json& child : value) {
    if (is_container(child) && !holds_only_plain_values(child)) return false;
  }
  return true;
}

void append_array(std::string& out, const Json& array, int depth) {
  if (holds_only_plain_values(array)) {
    append_one_line(out, array);
    return;
  }
  out += "[\n";
  bool first = true;
  for (const Json& element : array) {
    if (!first) out += ",\n";
    first = false;
    append_indent(out, depth + 1);
    if (fits_one_line(element)) {
      append_one_line(out, element);
    } else {
      append_compact_json(out, element, depth + 1);
    }
  }
  out += "\n";
  append_indent(out, depth);
  out += "]";
}

void append_object(std::string& out, const Json& object, int depth) {
  if (object.empty()) {
    out += "{}";
    return;
  }
  out += "{\n";
  bool first = true;
  for (const auto& [key, member] : object.items()) {
    if (!first) out += ",\n";
    first = false;
    append_indent(out, depth + 1);
    append_one_line(out, Json(key));
    out += ": ";
    append_compact_json(out, member, depth + 1);
  }
  out += "\n";
  append_indent(out, depth);
  out += "}";
}

}  // namespace

void append_indent(std::string& out, int depth) {
  out.append(static_cast<std::size_t>(depth * kIndentWidth), ' ');
}

void append_compact_json(std::string& out, const Json& value, int depth) {
  if (value.is_array()) {
    append_array(out, value, depth);
  } else if (value.is_object()) {
    append_object(out, value, depth);
  } else {
    append_one_line(out, value);
  }
}

}  // namespace brisk
