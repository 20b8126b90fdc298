// Number rendering inside the solver's failure texts.
#pragma once

#include <string>

namespace brisk {

// A double as the printf conversion "%f" renders it (fixed, six decimals).
std::string fixed6(double value);

}  // namespace brisk
