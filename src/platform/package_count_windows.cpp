// Windows: the RelationProcessorPackage records of the system.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/package_count.h"

namespace brisk {

std::uint32_t package_count() {
  DWORD length = 0;
  GetLogicalProcessorInformationEx(RelationProcessorPackage, nullptr, &length);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) return 0;
  std::vector<std::byte> buffer(length);
  auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
  if (!GetLogicalProcessorInformationEx(RelationProcessorPackage, first, &length)) return 0;
  std::uint32_t count = 0;
  for (DWORD offset = 0; offset + sizeof(DWORD) * 2 <= length;) {
    const auto* record =
        reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + offset);
    if (record->Size == 0 || offset + record->Size > length) break;
    if (record->Relationship == RelationProcessorPackage) ++count;
    offset += record->Size;
  }
  return count;
}

}  // namespace brisk
