// Windows: the RelationProcessorPackage records of the system.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/package_count.h"

namespace brisk {

namespace {

// The package records, each whole within the buffer; empty when the system
// does not answer.
std::vector<const PROCESSOR_RELATIONSHIP*> package_records(std::vector<std::byte>& buffer) {
  DWORD length = 0;
  GetLogicalProcessorInformationEx(RelationProcessorPackage, nullptr, &length);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) return {};
  buffer.resize(length);
  auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
  if (!GetLogicalProcessorInformationEx(RelationProcessorPackage, first, &length)) return {};
  std::vector<const PROCESSOR_RELATIONSHIP*> records;
  for (DWORD offset = 0; offset + sizeof(DWORD) * 2 <= length;) {
    const auto* record =
        reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + offset);
    if (record->Size == 0 || offset + record->Size > length) break;
    // Only records whose group masks all lie within their own size.
    const std::size_t masks_end =
        offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor) +
        offsetof(PROCESSOR_RELATIONSHIP, GroupMask) +
        std::size_t{record->Processor.GroupCount} * sizeof(GROUP_AFFINITY);
    if (record->Relationship == RelationProcessorPackage && masks_end <= record->Size) {
      records.push_back(&record->Processor);
    }
    offset += record->Size;
  }
  return records;
}

}  // namespace

std::uint32_t package_count() {
  std::vector<std::byte> buffer;
  return static_cast<std::uint32_t>(package_records(buffer).size());
}

std::optional<std::uint32_t> package_of(std::uint16_t group, std::uint32_t number) {
  if (number >= 64) return std::nullopt;
  std::vector<std::byte> buffer;
  const std::vector<const PROCESSOR_RELATIONSHIP*> records = package_records(buffer);
  for (std::size_t k = 0; k < records.size(); ++k) {
    const PROCESSOR_RELATIONSHIP& package = *records[k];
    for (WORD g = 0; g < package.GroupCount; ++g) {
      const GROUP_AFFINITY& mask = package.GroupMask[g];
      if (mask.Group == group && (mask.Mask >> number) & 1) return static_cast<std::uint32_t>(k);
    }
  }
  return std::nullopt;
}

}  // namespace brisk
