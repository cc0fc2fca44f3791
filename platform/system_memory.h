// Physical memory figures of the machine the process runs on.
#pragma once

#include <cstdint>

namespace platform {

// Bytes of physical memory that the process could still obtain: the
// system's available memory, lowered to what the process's control group
// (cgroup v2 or v1) still allows. Returns 0 when nothing can be read.
int64_t AvailablePhysicalMemory();

}  // namespace platform
