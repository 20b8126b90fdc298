// How the Linux backend turns sysfs into processor records (declared for the
// Linux tests, which run it on a hand-made sysfs tree).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/processor_records.h"

namespace brisk {

// CPU numbers of a kernel cpu list such as "0-3,8,10-11", ascending and
// without duplicates. Malformed parts and numbers beyond 65535 are dropped.
std::vector<std::uint32_t> parse_cpu_list(std::string_view text);

// CPU numbers of a kernel cpu mask: comma-separated hexadecimal 32-bit words,
// most significant first, such as "ff,ffffffff" for CPUs 0-39. Ascending;
// empty when any word is malformed. Bits beyond CPU 65535 are dropped.
std::vector<std::uint32_t> parse_cpu_mask(std::string_view text);

// Records for the CPUs in `allowed`, read below `devices_root` (normally
// "/sys/devices"): one core record per set of hardware-thread siblings, one
// cache record per distinct cache, one NUMA record per node and processor
// group. Group = cpu / 64 and bit = cpu % 64, as Windows numbers processors.
// Each CPU set is read from its list file, or from its mask file on kernels
// that have only that.
std::vector<ProcessorRecord> records_from_sysfs(const std::string& devices_root,
                                                const std::vector<std::uint32_t>& allowed);

}  // namespace brisk
