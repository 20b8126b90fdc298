// Pure size arithmetic of field memory, kept apart from the OS so it can be
// tested with any page size.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace brisk {

inline constexpr std::uint64_t kFieldPointBytes = 32;
// The largest point count whose byte count still fits in 64 bits.
inline constexpr std::uint64_t kMaxFieldPoints =
    std::numeric_limits<std::uint64_t>::max() / kFieldPointBytes;

// Bytes of `count` field points, or nothing when that overflows 64 bits.
constexpr std::optional<std::uint64_t> field_bytes(std::uint64_t count) {
  if (count > kMaxFieldPoints) return std::nullopt;
  return count * kFieldPointBytes;
}

// (bytes + L - 1) AND NOT (L - 1) in wrapping 64-bit arithmetic: whole large
// pages of size L. L = 0 gives 0, a size the platform refuses, so a system
// without large pages fails every large-page allocation.
constexpr std::uint64_t round_to_large_pages(std::uint64_t bytes, std::uint64_t page_size) {
  return (bytes + page_size - 1) & ~(page_size - 1);
}

// bytes rounded up to a multiple of 64 (what aligned_alloc demands); 0 when
// that overflows.
constexpr std::uint64_t round_up_64(std::uint64_t bytes) {
  if (bytes > std::numeric_limits<std::uint64_t>::max() - 63) return 0;
  return (bytes + 63) & ~std::uint64_t{63};
}

// Memory kept free for the rest of the system and the process: field memory
// is only granted out of what lies above it.
inline constexpr std::uint64_t kFieldMemoryMargin = std::uint64_t{512} << 20;

// The bytes field memory may take out of `available` free bytes with `margin`
// kept back; 0 when the margin takes everything.
constexpr std::uint64_t field_room(std::uint64_t available, std::uint64_t margin) {
  return available > margin ? available - margin : 0;
}

// Whether `bytes` more can be granted while `pending` bytes are granted but
// not yet resident, with `available` bytes free and `margin` bytes kept back.
// An unknown available memory (0) grants everything.
constexpr bool fits_in_available(std::uint64_t bytes, std::uint64_t pending,
                                 std::uint64_t available, std::uint64_t margin) {
  if (available == 0) return true;
  const std::uint64_t room = field_room(available, margin);
  if (room == 0) return false;
  return pending <= room && bytes <= room - pending;
}

// How many threads' fields, `bytes_per_thread` each (all of a thread's
// blocks together), the admission rule above grants out of `available` free
// bytes with `margin` kept back. A block's bytes count as pending only until
// they are written, and then only in the free-memory figure, so whatever the
// order in which threads take and fill their blocks, a block is granted
// exactly when every block granted so far, itself included, fits into the
// free memory at the start less the margin (while nothing else takes
// memory): the split into blocks does not matter. 0 when the free memory is
// unknown (0) or not even one thread fits.
constexpr std::uint64_t threads_that_fit(std::uint64_t available, std::uint64_t bytes_per_thread,
                                         std::uint64_t margin) {
  if (bytes_per_thread == 0) return 0;
  return field_room(available, margin) / bytes_per_thread;
}

}  // namespace brisk
