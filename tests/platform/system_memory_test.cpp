// Available memory from fake /proc and cgroup trees (v1 and v2).
#include "platform/system_memory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace platform {
namespace {

namespace fs = std::filesystem;

// A fake /proc and cgroup mount with the given files.
class FakeSystem {
 public:
  explicit FakeSystem(const std::map<std::string, std::string>& files) {
    root_ = fs::temp_directory_path() /
            ("system_memory_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + std::to_string(counter_++));
    fs::remove_all(root_);
    for (const auto& [path, text] : files) {
      fs::path file = root_ / path;
      fs::create_directories(file.parent_path());
      std::ofstream(file) << text;
    }
  }
  ~FakeSystem() { fs::remove_all(root_); }
  int64_t Available() const {
    return AvailablePhysicalMemoryAt((root_ / "proc").string(), (root_ / "cgroup").string());
  }

 private:
  static inline int counter_ = 0;
  fs::path root_;
};

const std::string kMeminfo = "MemTotal: 16000 kB\nMemFree: 1000 kB\nMemAvailable: 8000 kB\n";

TEST(SystemMemoryTest, SmallestOfMemAvailableAndCgroupHeadroom) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    int64_t expected;
  } cases[] = {
      {"no cgroup limit", {{"proc/meminfo", kMeminfo}, {"proc/self/cgroup", "0::/\n"}}, 8192000},
      {"v2 limit below MemAvailable",
       {{"proc/meminfo", kMeminfo},
        {"proc/self/cgroup", "0::/app\n"},
        {"cgroup/app/memory.max", "1000000\n"},
        {"cgroup/app/memory.current", "400000\n"}},
       600000},
      {"v2 unlimited",
       {{"proc/meminfo", kMeminfo},
        {"proc/self/cgroup", "0::/app\n"},
        {"cgroup/app/memory.max", "max\n"},
        {"cgroup/app/memory.current", "400000\n"}},
       8192000},
      {"v2 limit on an ancestor",
       {{"proc/meminfo", kMeminfo},
        {"proc/self/cgroup", "0::/a/b\n"},
        {"cgroup/a/memory.max", "3000000\n"},
        {"cgroup/a/memory.current", "1000000\n"},
        {"cgroup/a/b/memory.max", "max\n"}},
       2000000},
      {"v1 memory controller beside v2",
       {{"proc/meminfo", kMeminfo},
        {"proc/self/cgroup", "4:memory:/docker/x\n0::/\n"},
        {"cgroup/memory/docker/x/memory.limit_in_bytes", "9223372036854771712\n"},
        {"cgroup/memory/docker/memory.limit_in_bytes", "2000000\n"},
        {"cgroup/memory/docker/memory.usage_in_bytes", "500000\n"}},
       1500000},
      {"usage above the limit",
       {{"proc/meminfo", kMeminfo},
        {"proc/self/cgroup", "0::/app\n"},
        {"cgroup/app/memory.max", "1000\n"},
        {"cgroup/app/memory.current", "5000\n"}},
       0},
      {"kernel without MemAvailable",
       {{"proc/meminfo", "MemTotal: 16000 kB\nMemFree: 1000 kB\nBuffers: 200 kB\nCached: 3000 kB\n"},
        {"proc/self/cgroup", "0::/\n"}},
       4200 * 1024},
      {"negative figure", {{"proc/meminfo", "MemAvailable: -8000 kB\n"}}, 0},
      {"nothing readable", {}, 0},
  };
  for (const Case& c : cases) {
    FakeSystem system(c.files);
    EXPECT_EQ(system.Available(), c.expected) << c.name;
  }
}

TEST(SystemMemoryTest, ThisMachineReportsSomething) { EXPECT_GT(AvailablePhysicalMemory(), 0); }

}  // namespace
}  // namespace platform
