// Shared helpers of the storage tests: a temporary directory per test and a
// lock retry that does not sleep.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file.h"
#include "db/storage/pages/integrity_check.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin::testing {

class StorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Memory-backed when possible: the tests sync a lot, and simulate what
    // syncing guarantees rather than rely on it.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kelvorin-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    saved_policy_ = LockRetryPolicy();
    LockRetryPolicy().tries = 3;
    LockRetryPolicy().sleep = [](int) {};
  }
  void TearDown() override {
    LockRetryPolicy() = saved_policy_;
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Path(const std::string& name = "db") const { return (dir_ / name).string(); }

 public:
  static std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 protected:

  static void ExpectClean(const std::string& path, const TABSPassword& password = {}) {
    const TABSIntegrityReport report = CheckDatabaseFile(path, password);
    EXPECT_TRUE(report.Clean()) << report.Describe();
  }

  // Pages allocated without a commit are leaks, not damage.
  static void ExpectNoCorruption(const std::string& path) {
    const TABSIntegrityReport report = CheckDatabaseFile(path);
    EXPECT_FALSE(report.HasCorruption()) << report.Describe();
  }

  std::filesystem::path dir_;
  TABSLockRetryPolicy saved_policy_;
};

}  // namespace kelvorin::testing
