#include "platform/file_read.h"

#include <fmt/format.h>

namespace brisk {

std::string file_too_large_reason(std::uint64_t size, std::uint64_t max_bytes) {
  return fmt::format("is {} bytes, larger than the limit of {} bytes", size, max_bytes);
}

}  // namespace brisk
