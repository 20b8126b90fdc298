#include "compare/results_reader_json.h"

#include <fmt/format.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "compare/kept_parts.h"
#include "results/console_text.h"
#include "results/utf8.h"

namespace brisk {
namespace {

using Json = nlohmann::json;

// A parser's message quotes the token it stopped in, which may be megabytes
// of one string: a line on standard error keeps only its start.
constexpr std::size_t kMaxDetailBytes = 160;

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
std::string shortened(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text + "...";
}

// nlohmann's "[json.exception.parse_error.101] parse error at line 1, column
// 4: syntax error while parsing value - unexpected ']'" without what the
// caller says itself: the exception's id and the position. The token it
// quotes is the document's, so it is made safe for a console.
std::string parser_detail(const std::string& what) {
  std::string detail = what;
  if (const std::size_t syntax = detail.find("syntax error "); syntax != std::string::npos) {
    detail = detail.substr(syntax + 13);
  } else if (const std::size_t id_end = detail.find("] "); id_end != std::string::npos) {
    detail = detail.substr(id_end + 2);
  }
  return shortened(console_safe(detail), kMaxDetailBytes);
}

// Builds the tree with nlohmann's own DOM builder and stops the parse once a
// container opens below kMaxJsonDepth. nlohmann's SAX parser keeps its state
// in a vector, not on the call stack, so stopping here bounds everything.
//
// With `keep_all` false it keeps only the parts a reader looks at
// (kept_parts.h): a dropped member's name never reaches the tree builder, and
// nothing of its value does, however deep; and it stops once the kept tree
// would pass its memory budget.
class DepthBoundedBuilder {
 public:
  DepthBoundedBuilder(Json& out, bool keep_all, std::size_t budget)
      : dom_(out, false), keep_all_(keep_all), budget_(budget) {}

  bool null() {
    return pass(plain(0), [&] { return dom_.null(); });
  }
  bool boolean(bool value) {
    return pass(plain(0), [&] { return dom_.boolean(value); });
  }
  bool number_integer(Json::number_integer_t value) {
    return pass(plain(0), [&] { return dom_.number_integer(value); });
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    return pass(plain(0), [&] { return dom_.number_unsigned(value); });
  }
  bool number_float(Json::number_float_t value, const Json::string_t& text) {
    return pass(plain(0), [&] { return dom_.number_float(value, text); });
  }
  bool string(Json::string_t& value) {
    return pass(plain(value.size()), [&] { return dom_.string(value); });
  }
  bool binary(Json::binary_t& value) {
    return pass(plain(0), [&] { return dom_.binary(value); });
  }
  bool key(Json::string_t& value) {
    if (dropped_depth_ > 0) return true;
    next_ = member_part(parts_.back(), value);
    if (!keep_all_ && next_ == JsonPart::dropped) return true;
    return charge(value.size()) && dom_.key(value);
  }
  bool start_object(std::size_t elements) {
    return enter() && pass(open(false), [&] { return dom_.start_object(elements); });
  }
  bool end_object() { return close() || dom_.end_object(); }
  bool start_array(std::size_t elements) {
    return enter() && pass(open(true), [&] { return dom_.start_array(elements); });
  }
  bool end_array() { return close() || dom_.end_array(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) {
    error_position_ = position;
    error_what_ = error.what();
    return false;
  }

  bool too_deep() const { return too_deep_; }
  bool too_big() const { return too_big_; }
  std::size_t error_position() const { return error_position_; }
  const std::string& error_what() const { return error_what_; }

 private:
  enum class Route { keep, drop, stop };

  template <typename Build>
  static bool pass(Route route, Build build) {
    if (route == Route::drop) return true;
    return route == Route::keep && build();
  }

  bool enter() {
    if (depth_ >= kMaxJsonDepth) {
      too_deep_ = true;
      return false;
    }
    ++depth_;
    return true;
  }

  // The part of the value that begins now: an array's elements have theirs
  // from the array, a member's from its name.
  JsonPart part_of_next() const {
    if (parts_.empty()) return JsonPart::root;
    if (in_array_.back()) return element_part(parts_.back());
    return next_;
  }

  bool charge(std::size_t bytes) {
    if (keep_all_) return true;
    const std::size_t cost = kKeptValueBytes + bytes;
    if (cost > budget_) {
      too_big_ = true;
      return false;
    }
    budget_ -= cost;
    return true;
  }

  Route route(std::size_t bytes) {
    if (dropped_depth_ > 0) return Route::drop;
    if (!keep_all_ && part_of_next() == JsonPart::dropped) return Route::drop;
    return charge(bytes) ? Route::keep : Route::stop;
  }

  Route plain(std::size_t bytes) { return route(bytes); }

  Route open(bool array) {
    const JsonPart part = part_of_next();
    const Route r = route(0);
    if (r == Route::drop) ++dropped_depth_;
    if (r == Route::keep) {
      parts_.push_back(part);
      in_array_.push_back(array);
    }
    return r;
  }

  // True when the container that ends was dropped: nothing to tell the tree.
  bool close() {
    --depth_;
    if (dropped_depth_ > 0) {
      --dropped_depth_;
      return true;
    }
    parts_.pop_back();
    in_array_.pop_back();
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom_;
  bool keep_all_;
  std::size_t budget_;  // bytes the kept tree may still take
  std::size_t depth_ = 0;
  std::size_t dropped_depth_ = 0;  // open containers inside a dropped value
  std::vector<JsonPart> parts_;    // of the open kept containers
  std::vector<bool> in_array_;
  JsonPart next_ = JsonPart::other;
  bool too_deep_ = false;
  bool too_big_ = false;
  std::size_t error_position_ = 0;
  std::string error_what_;
};

std::string syntax_failure(std::string_view text, std::size_t position, const std::string& what) {
  // The parser reads one position past the last byte when the text runs out.
  if (position > text.size()) {
    return fmt::format(
        "not JSON: the text ends at byte {} in the middle of a value (a truncated file?): {}",
        text.size(), parser_detail(what));
  }
  if (what.find("syntax error ") == std::string::npos) {
    return fmt::format("not JSON at byte {}: {}", position, parser_detail(what));
  }
  return fmt::format("not JSON: syntax error at byte {}: {}", position, parser_detail(what));
}

}  // namespace

std::optional<std::size_t> first_invalid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    // Eight ASCII bytes at a time: most of a document is plain ASCII.
    if (size - i >= 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes + i, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const Utf8Sequence sequence = utf8_sequence(text, i);
    if (!sequence.valid) return i + sequence.length + 1;
    i += sequence.length;
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> parse_json(std::string_view text, Json& out, bool keep_all) {
  if (const std::optional<std::size_t> bad = first_invalid_utf8(text)) {
    const std::size_t index = *bad - 1;
    if (index >= text.size()) {
      return fmt::format("not UTF-8: the text ends inside a multi-byte sequence at byte {}", *bad);
    }
    return fmt::format("not UTF-8: byte {} (0x{:02X}) is not part of a valid sequence", *bad,
                       static_cast<unsigned char>(text[index]));
  }
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return std::string("not JSON: the text is empty");
  }
  try {
    out = Json();
    DepthBoundedBuilder builder(out, keep_all, kept_bytes_limit(text.size()));
    if (Json::sax_parse(text.begin(), text.end(), &builder)) return std::nullopt;
    if (builder.too_deep()) {
      return fmt::format("not a brisk results document: nested deeper than {} levels",
                         kMaxJsonDepth);
    }
    if (builder.too_big()) {
      return fmt::format(
          "not a brisk results document: what is not per-thread detail takes more than {} "
          "bytes",
          kept_bytes_limit(text.size()));
    }
    return syntax_failure(text, builder.error_position(), builder.error_what());
  } catch (const std::bad_alloc&) {
    return std::string("not enough memory to parse the document");
  } catch (const std::exception& error) {
    // The builder is told not to throw; this is a guard, not a path.
    return fmt::format("not JSON: {}", shortened(error.what(), kMaxDetailBytes));
  }
}

}  // namespace

std::optional<std::string> parse_json_bounded(std::string_view text, Json& out) {
  return parse_json(text, out, true);
}

std::optional<std::string> parse_json_kept(std::string_view text, Json& out) {
  return parse_json(text, out, false);
}

}  // namespace brisk
