// Physical memory figures of the machine the process runs on.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Bytes of physical memory that the process could still obtain: the
// system's available memory, lowered to what the process's control group
// (cgroup v2 or v1) still allows. Returns 0 when nothing can be read.
int64_t AvailablePhysicalMemory();

// The same read below other roots (for tests): `proc_root` holds
// meminfo and self/cgroup, `cgroup_root` the mounted hierarchies.
int64_t AvailablePhysicalMemoryAt(const std::string& proc_root, const std::string& cgroup_root);

}  // namespace platform
