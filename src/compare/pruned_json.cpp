#include "compare/pruned_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "compare/kept_parts.h"
#include "compare/results_reader_json.h"

namespace brisk {
namespace {

using Json = nlohmann::json;

// A number without an exponent shorter than this is finite as a double; a
// longer one, or one with an exponent, is converted to be sure.
constexpr std::ptrdiff_t kSurelyFiniteDigits = 300;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Recursive descent, bounded by kMaxJsonDepth. A value is built into a Json
// when `out` is given and only checked when it is null.
class PrunedParser {
 public:
  explicit PrunedParser(std::string_view text)
      : p_(text.data()), end_(p_ + text.size()), budget_(kept_bytes_limit(text.size())) {}

  bool document(Json& out) {
    skip_blanks();
    if (!value(&out, 0, JsonPart::root)) return false;
    skip_blanks();
    return p_ == end_;
  }

 private:
  void skip_blanks() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }
  bool take(char c) {
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }

  // Charges `cost` to the budget: kKeptValueBytes per kept value and member
  // name, and the bytes of their text, the same charges as the full parser's.
  bool keep(std::size_t cost) {
    if (cost > budget_) return false;
    budget_ -= cost;
    return true;
  }

  bool value(Json* out, std::size_t depth, JsonPart place) {
    if (place == JsonPart::dropped) out = nullptr;
    if (p_ == end_) return false;
    if (out && !keep(kKeptValueBytes)) return false;
    switch (*p_) {
      case '{':
        return object(out, depth, place);
      case '[':
        return array(out, depth, place);
      case '"': {
        std::string text;
        if (!string(out ? &text : nullptr)) return false;
        if (out && !keep(text.size())) return false;
        if (out) *out = std::move(text);
        return true;
      }
      case 't':
        return literal("true", out, Json(true));
      case 'f':
        return literal("false", out, Json(false));
      case 'n':
        return literal("null", out, Json(nullptr));
      default:
        return number(out);
    }
  }

  bool literal(std::string_view word, Json* out, Json value) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() ||
        std::string_view(p_, word.size()) != word) {
      return false;
    }
    p_ += word.size();
    if (out) *out = std::move(value);
    return true;
  }

  bool object(Json* out, std::size_t depth, JsonPart place) {
    if (depth >= kMaxJsonDepth) return false;
    ++p_;
    if (out) *out = Json::object();
    skip_blanks();
    if (take('}')) return true;
    std::string key;
    do {
      skip_blanks();
      key.clear();
      if (p_ == end_ || *p_ != '"' || !string(&key)) return false;
      skip_blanks();
      if (!take(':')) return false;
      skip_blanks();
      const JsonPart child = member_part(place, key);
      if (out && child != JsonPart::dropped && !keep(kKeptValueBytes + key.size())) return false;
      // As nlohmann's tree builder: a repeated key's last value wins.
      Json* slot = out && child != JsonPart::dropped ? &(*out)[key] : nullptr;
      if (!value(slot, depth + 1, child)) return false;
      skip_blanks();
    } while (take(','));
    return take('}');
  }

  bool array(Json* out, std::size_t depth, JsonPart place) {
    if (depth >= kMaxJsonDepth) return false;
    ++p_;
    if (out) *out = Json::array();
    skip_blanks();
    if (take(']')) return true;
    const JsonPart child = element_part(place);
    do {
      skip_blanks();
      Json* slot = nullptr;
      if (out) slot = &out->emplace_back();
      if (!value(slot, depth + 1, child)) return false;
      skip_blanks();
    } while (take(','));
    return take(']');
  }

  // At the opening quote. Control characters must be escaped; a \u escape
  // of a surrogate must be a high one followed by a low one.
  bool string(std::string* out) {
    ++p_;
    const char* run = p_;
    while (p_ != end_) {
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        if (out) out->append(run, p_);
        ++p_;
        return true;
      }
      if (c < 0x20) return false;
      if (c != '\\') {
        ++p_;
        continue;
      }
      if (out) out->append(run, p_);
      if (!escape(out)) return false;
      run = p_;
    }
    return false;
  }

  bool escape(std::string* out) {
    ++p_;
    if (p_ == end_) return false;
    const char c = *p_++;
    char plain = 0;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        plain = c;
        break;
      case 'b':
        plain = '\b';
        break;
      case 'f':
        plain = '\f';
        break;
      case 'n':
        plain = '\n';
        break;
      case 'r':
        plain = '\r';
        break;
      case 't':
        plain = '\t';
        break;
      case 'u':
        return unicode_escape(out);
      default:
        return false;
    }
    if (out) *out += plain;
    return true;
  }

  bool hex4(std::uint32_t& code) {
    if (end_ - p_ < 4) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const int digit = hex_digit(*p_++);
      if (digit < 0) return false;
      code = code * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  // After "\u".
  bool unicode_escape(std::string* out) {
    std::uint32_t code = 0;
    if (!hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      std::uint32_t low = 0;
      if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    if (out) append_utf8(*out, code);
    return true;
  }

  static bool digit(char c) { return c >= '0' && c <= '9'; }
  void skip_digits() {
    while (p_ != end_ && digit(*p_)) ++p_;
  }

  // JSON's number grammar, then nlohmann's types: an integer without a minus
  // is unsigned, with one signed, and either is a double past 64 bits.
  bool number(Json* out) {
    const char* start = p_;
    const bool negative = take('-');
    if (p_ == end_ || !digit(*p_)) return false;
    if (!take('0')) skip_digits();
    bool integer = true;
    bool exponent = false;
    if (take('.')) {
      integer = false;
      if (p_ == end_ || !digit(*p_)) return false;
      skip_digits();
    }
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      integer = false;
      exponent = true;
      if (!take('+')) take('-');
      if (p_ == end_ || !digit(*p_)) return false;
      skip_digits();
    }
    if (!out && !exponent && p_ - start < kSurelyFiniteDigits) return true;
    if (integer && out) {
      if (negative) {
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(start, p_, value);
        if (error == std::errc() && end == p_) {
          *out = value;
          return true;
        }
      } else {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(start, p_, value);
        if (error == std::errc() && end == p_) {
          *out = value;
          return true;
        }
      }
    }
    // Out of range (an overflow, or an underflow strtod would round) is left
    // to nlohmann, which has its own answer for each.
    double value = 0.0;
    const auto [end, error] = std::from_chars(start, p_, value);
    if (error != std::errc() || end != p_ || !std::isfinite(value)) return false;
    if (out) *out = value;
    return true;
  }

  const char* p_;
  const char* end_;
  std::size_t budget_;  // bytes the kept tree may still take
};

}  // namespace

bool parse_json_pruned(std::string_view text, Json& out) {
  try {
    out = Json();
    return PrunedParser(text).document(out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace brisk
