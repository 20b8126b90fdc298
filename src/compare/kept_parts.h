// Which parts of a results document a reader keeps. Most of a large
// machine's document is per-thread detail (each thread's results and its
// second-by-second timeline and clock); a comparison needs none of it, so
// the parsers check that text to be JSON and drop it, and the tree they
// build from the rest has a memory budget that a document brisk wrote stays
// far below, whatever its size.
#pragma once

#include <cstddef>
#include <string_view>

namespace brisk {

enum class JsonPart { other, root, runs, run, timeline, dropped };

// The part of member `key` of an object that is part `object`.
inline JsonPart member_part(JsonPart object, std::string_view key) {
  if (object == JsonPart::root && key == "runs") return JsonPart::runs;
  if (object == JsonPart::root && key == "summary") return JsonPart::dropped;
  if (object == JsonPart::run && key == "threads") return JsonPart::dropped;
  // A run's timeline is kept for the comparison page, its threads' share of
  // it is not.
  if (object == JsonPart::run && key == "timeline") return JsonPart::timeline;
  if (object == JsonPart::timeline && (key == "threads" || key == "threads_clock_mhz")) {
    return JsonPart::dropped;
  }
  return JsonPart::other;
}

// The part of an element of an array that is part `array`.
inline JsonPart element_part(JsonPart array) {
  return array == JsonPart::runs ? JsonPart::run : JsonPart::other;
}

// What one kept value costs in the tree, beyond the bytes of its text (a
// string's, a member's name): its node in its container.
inline constexpr std::size_t kKeptValueBytes = 64;

// The memory the kept tree of a document of `text_size` bytes may take: a
// quarter of the text beyond a fixed 16 MiB. A 384-core threads sweep keeps
// about 5 MB of its 130 MB.
inline std::size_t kept_bytes_limit(std::size_t text_size) {
  return (std::size_t{16} << 20) + text_size / 4;
}

}  // namespace brisk
