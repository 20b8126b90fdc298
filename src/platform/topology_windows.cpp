// Windows answers for the topology: the GetLogicalProcessorInformationEx
// records and the processor count.
#include <windows.h>

#include <cstddef>

#include "platform/processor_records.h"

namespace brisk {

// The decoder reads the buffer by the published layout; check it against the
// headers we build with. (Older MinGW headers name EfficiencyClass
// Reserved[0] and their CACHE_RELATIONSHIP predates GroupCount, at offset 30;
// the decoder reads both by offset.)
static_assert(offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor) == 8);
static_assert(offsetof(PROCESSOR_RELATIONSHIP, GroupCount) == 22);
static_assert(offsetof(PROCESSOR_RELATIONSHIP, GroupMask) == 24);
static_assert(offsetof(NUMA_NODE_RELATIONSHIP, GroupMask) == 24);
static_assert(offsetof(CACHE_RELATIONSHIP, GroupMask) == 32);
static_assert(sizeof(GROUP_AFFINITY) == 16 && offsetof(GROUP_AFFINITY, Group) == 8);

std::vector<ProcessorRecord> read_processor_records() {
  DWORD length = 0;
  GetLogicalProcessorInformationEx(RelationAll, nullptr, &length);  // learns the length only
  if (length == 0) return {};
  // 8-byte words keep the records' 64-bit masks aligned.
  std::vector<std::uint64_t> storage((length + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  auto* info = reinterpret_cast<PSYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX>(storage.data());
  if (!GetLogicalProcessorInformationEx(RelationAll, info, &length)) return {};
  const auto* bytes = reinterpret_cast<const std::byte*>(storage.data());
  return decode_processor_information({bytes, length});
}

std::uint32_t os_processor_count() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}

}  // namespace brisk
