#include "memory/memory_guard.h"

#include <algorithm>
#include <mutex>

#include "memory/memory_info.h"

namespace brisk {
namespace {

std::mutex& guard_mutex() {
  static std::mutex mutex;
  return mutex;
}

FieldMemoryLedger& process_ledger() {  // guarded by guard_mutex()
  static FieldMemoryLedger ledger(kFieldMemoryMargin);
  return ledger;
}

}  // namespace

bool FieldMemoryLedger::grant(std::uint64_t bytes, std::uint64_t available) {
  if (!fits_in_available(bytes, pending_, available, margin_)) return false;
  pending_ += bytes;
  return true;
}

void FieldMemoryLedger::settle(std::uint64_t bytes) { pending_ -= std::min(bytes, pending_); }

MemoryGrant::MemoryGrant(std::uint64_t bytes) { acquire(bytes); }

bool MemoryGrant::acquire(std::uint64_t bytes) {
  if (granted_) return true;
  if (bytes == 0) {  // nothing to admit
    granted_ = true;
    return true;
  }
  std::lock_guard lock(guard_mutex());
  // The query happens under the lock, so two threads never both count the
  // same free memory.
  granted_ = process_ledger().grant(bytes, available_physical_memory());
  if (granted_) pending_ = bytes;
  return granted_;
}

MemoryGrant::~MemoryGrant() { settle(pending_); }

void MemoryGrant::settle(std::uint64_t bytes) {
  bytes = std::min(bytes, pending_);
  if (bytes == 0) return;
  std::lock_guard lock(guard_mutex());
  process_ledger().settle(bytes);
  pending_ -= bytes;
}

std::uint64_t pending_field_bytes() {
  std::lock_guard lock(guard_mutex());
  return process_ledger().pending();
}

}  // namespace brisk
