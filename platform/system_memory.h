// Physical memory figures of the machine the process runs on.
#pragma once

#include <cstddef>
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

// Advises the system to back the whole large-page stretches of
// [address, address + bytes) with large pages when they are first touched:
// an array of tens of megabytes filled at once then costs a few page
// faults instead of one per 4 KB. Only advice; where the system cannot
// follow it, nothing changes.
void AdviseLargePages(void* address, size_t bytes);

}  // namespace platform
