#include "solver/failure_text.h"

#include <fmt/printf.h>

namespace brisk {

// fmt's own printf gives the same text on every platform's C library.
std::string fixed6(double value) { return fmt::sprintf("%f", value); }

}  // namespace brisk
