// The floating-point mode every worker runs its workload in.
#pragma once

namespace brisk {

// ORs 0x8040 into the calling thread's MXCSR: flush-to-zero (bit 15) and
// denormals-are-zero (bit 6). Never restored.
void set_flush_to_zero();

}  // namespace brisk
