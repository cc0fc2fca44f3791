// Available memory on Linux: MemAvailable of /proc/meminfo and the headroom
// left under the memory limit of the process's control group.
#include "platform/system_memory.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace platform {
namespace {

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// Reads the first line of a small text file; false when it cannot be read.
bool ReadFirstLine(const std::string& path, std::string* line) {
  std::ifstream in(path);
  if (!in) return false;
  return static_cast<bool>(std::getline(in, *line));
}

bool ParseBytes(const std::string& text, int64_t* value) {
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE || v < 0) return false;
  *value = v;
  return true;
}

int64_t KibToBytes(int64_t kib) {
  if (kib <= 0) return 0;
  return kib > kNoLimit / 1024 ? kNoLimit : kib * 1024;
}

// MemAvailable; kernels before 3.14 lack it, and there free memory plus the
// buffers and page cache is the closest figure.
int64_t MemAvailable(const std::string& proc_root) {
  std::ifstream in(proc_root + "/meminfo");
  std::string key;
  int64_t kib = 0;
  std::string unit;
  int64_t reclaimable = 0;
  while (in >> key >> kib) {
    std::getline(in, unit);
    if (key == "MemAvailable:") return KibToBytes(kib);
    if (key == "MemFree:" || key == "Buffers:" || key == "Cached:") {
      const int64_t bytes = KibToBytes(kib);
      reclaimable = bytes > kNoLimit - reclaimable ? kNoLimit : reclaimable + bytes;
    }
  }
  return reclaimable;
}

// The control group of this process, from /proc/self/cgroup: the v1 memory
// controller's path when that controller is mounted, else the v2 path (line
// "0::/path").
std::string CgroupPath(const std::string& proc_root, bool* v2) {
  std::ifstream in(proc_root + "/self/cgroup");
  std::string line;
  std::string v1_path;
  std::string v2_path;
  bool has_v1 = false;
  bool has_v2 = false;
  while (std::getline(in, line)) {
    size_t first = line.find(':');
    size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    std::string controllers = line.substr(first + 1, second - first - 1);
    std::string path = line.substr(second + 1);
    if (controllers.empty()) {
      has_v2 = true;
      v2_path = path;
      continue;
    }
    std::stringstream list(controllers);
    std::string name;
    while (std::getline(list, name, ',')) {
      if (name == "memory") {
        has_v1 = true;
        v1_path = path;
      }
    }
  }
  *v2 = !has_v1 && has_v2;
  return *v2 ? v2_path : v1_path;
}

// Limit minus usage of one cgroup directory; kNoLimit when unlimited.
int64_t Headroom(const std::string& dir, const char* limit_file, const char* usage_file) {
  std::string text;
  int64_t limit = 0;
  int64_t usage = 0;
  if (!ReadFirstLine(dir + "/" + limit_file, &text) || text == "max" || !ParseBytes(text, &limit)) {
    return kNoLimit;
  }
  // cgroup v1 reports "no limit" as a huge page-aligned number.
  if (limit >= (kNoLimit / 2)) return kNoLimit;
  if (!ReadFirstLine(dir + "/" + usage_file, &text) || !ParseBytes(text, &usage)) usage = 0;
  return usage >= limit ? 0 : limit - usage;
}

int64_t CgroupHeadroom(const std::string& proc_root, const std::string& cgroup_root) {
  bool v2 = false;
  std::string path = CgroupPath(proc_root, &v2);
  const std::string root = v2 ? cgroup_root : cgroup_root + "/memory";
  const char* limit_file = v2 ? "memory.max" : "memory.limit_in_bytes";
  const char* usage_file = v2 ? "memory.current" : "memory.usage_in_bytes";
  int64_t headroom = kNoLimit;
  // A limit may sit on any ancestor group; the tightest one counts. Inside a
  // container the group's own path is often not visible, so the root of the
  // mounted hierarchy is consulted as well.
  while (true) {
    int64_t h = Headroom(root + path, limit_file, usage_file);
    if (h < headroom) headroom = h;
    if (path.empty() || path == "/") break;
    size_t slash = path.find_last_of('/');
    path = slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
  }
  return headroom;
}

}  // namespace

int64_t AvailablePhysicalMemoryAt(const std::string& proc_root, const std::string& cgroup_root) {
  int64_t available = MemAvailable(proc_root);
  int64_t headroom = CgroupHeadroom(proc_root, cgroup_root);
  return headroom < available ? headroom : available;
}

int64_t AvailablePhysicalMemory() { return AvailablePhysicalMemoryAt("/proc", "/sys/fs/cgroup"); }

void AdviseLargePages(void* address, size_t bytes) {
  constexpr uintptr_t kLargePage = uintptr_t{1} << 21;
  const uintptr_t start = reinterpret_cast<uintptr_t>(address);
  const uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t last = (start + bytes) & ~(kLargePage - 1);
  if (last > first) {
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
}

}  // namespace platform
