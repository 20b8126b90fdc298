// Processor packages (sockets): how many, and which holds a processor. The
// topology tree itself has no level for them.
#pragma once

#include <cstdint>
#include <optional>

namespace brisk {

// Packages holding at least one processor this process may use (Linux) or of
// the whole system (Windows); 0 when the system does not say.
std::uint32_t package_count();

// The package that holds logical processor `number` of processor group
// `group`: its physical_package_id (Linux) or its position among the
// system's package records (Windows); none when the system does not say.
std::optional<std::uint32_t> package_of(std::uint16_t group, std::uint32_t number);

}  // namespace brisk
