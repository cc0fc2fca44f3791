// The process's memory as the kernel counts it, for the benchmarks that
// report resident memory.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace bench {

// A kB figure of /proc/self/status ("VmRSS:", "VmHWM:" …); -1 when absent.
inline int64_t StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size()));
  }
  return -1;
}

}  // namespace bench
