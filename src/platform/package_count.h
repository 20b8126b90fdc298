// How many processor packages (sockets) the machine has, for the results
// files; the topology tree itself has no level for them.
#pragma once

#include <cstdint>

namespace brisk {

// Packages holding at least one processor this process may use (Linux) or of
// the whole system (Windows); 0 when the system does not say.
std::uint32_t package_count();

}  // namespace brisk
