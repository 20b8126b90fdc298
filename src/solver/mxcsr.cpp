#include "solver/mxcsr.h"

#include <xmmintrin.h>

namespace brisk {

void set_flush_to_zero() { _mm_setcsr(_mm_getcsr() | 0x8040); }

}  // namespace brisk
