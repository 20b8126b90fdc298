#include "bench/memory_guard.h"

#include <mutex>

#include "bench/memory_info.h"
#include "bench/memory_sizing.h"

namespace brisk {
namespace {

std::mutex& guard_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::uint64_t pending_bytes = 0;  // guarded by guard_mutex()

}  // namespace

MemoryGrant::MemoryGrant(std::uint64_t bytes) : bytes_(bytes) {
  if (bytes == 0) {  // nothing to admit
    granted_ = true;
    return;
  }
  std::lock_guard lock(guard_mutex());
  // The query happens under the lock, so two threads never both count the
  // same free memory.
  if (fits_in_available(bytes, pending_bytes, available_physical_memory(), kFieldMemoryMargin)) {
    pending_bytes += bytes;
    granted_ = true;
  }
}

MemoryGrant::~MemoryGrant() {
  if (!granted_ || bytes_ == 0) return;
  std::lock_guard lock(guard_mutex());
  pending_bytes -= bytes_;
}

std::uint64_t pending_field_bytes() {
  std::lock_guard lock(guard_mutex());
  return pending_bytes;
}

}  // namespace brisk
