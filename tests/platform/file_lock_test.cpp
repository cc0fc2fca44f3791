// Byte-range locks of the platform file layer: conflicts between two opens
// of one process and between processes, re-locks, tests that never release,
// and the presence byte that emulates exclusive opening.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file.h"

namespace platform {
namespace {

class FileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() / ("lock-test-" + std::to_string(::getpid()))).string();
    std::ofstream(path_) << "0123456789";
    ASSERT_EQ(a_.Open(path_, Access::kReadWrite, false), 0);
    ASSERT_EQ(b_.Open(path_, Access::kReadWrite, false), 0);
  }
  void TearDown() override {
    a_.Close();
    b_.Close();
    std::filesystem::remove(path_);
  }
  std::string path_;
  File a_, b_;
};

TEST_F(FileLockTest, TwoOpensOfOneProcessConflict) {
  ASSERT_TRUE(a_.LockRange(360, 1));
  EXPECT_FALSE(b_.LockRange(360, 1));
  EXPECT_FALSE(b_.LockRange(350, 20));
  EXPECT_TRUE(b_.LockRange(361, 1));
  EXPECT_TRUE(b_.IsRangeLocked(360, 1));
  EXPECT_TRUE(a_.UnlockRange(360, 1));
  EXPECT_TRUE(b_.LockRange(360, 1));
}

TEST_F(FileLockTest, OverlappingRelockFailsAndTestingKeepsTheLock) {
  ASSERT_TRUE(a_.LockRange(100, 10));
  EXPECT_FALSE(a_.LockRange(105, 1));
  EXPECT_TRUE(a_.IsRangeLocked(100, 1));  // its own lock counts
  EXPECT_TRUE(a_.IsRangeLocked(109, 5));
  EXPECT_FALSE(b_.LockRange(100, 1)) << "testing must not have released the lock";
  EXPECT_FALSE(a_.IsRangeLocked(200, 1));
  EXPECT_TRUE(b_.LockRange(200, 1)) << "testing a free range must leave it free";
  EXPECT_FALSE(a_.UnlockRange(100, 5)) << "only the range as locked can be unlocked";
}

TEST_F(FileLockTest, LocksBeyondTheEndOfTheFileAndReleasedAtClose) {
  ASSERT_TRUE(a_.LockRange(int64_t{1} << 40, 1));
  EXPECT_FALSE(b_.LockRange(int64_t{1} << 40, 1));
  a_.Close();
  EXPECT_TRUE(b_.LockRange(int64_t{1} << 40, 1));
}

TEST_F(FileLockTest, PresenceByteEmulatesExclusiveOpening) {
  ASSERT_TRUE(a_.SetPresence(Presence::kShared));
  ASSERT_TRUE(b_.SetPresence(Presence::kShared));
  EXPECT_FALSE(a_.IsSoleOpener());
  EXPECT_FALSE(a_.SetPresence(Presence::kExclusive));
  b_.Close();
  EXPECT_TRUE(a_.IsSoleOpener());
  ASSERT_TRUE(a_.SetPresence(Presence::kExclusive));
  File c;
  ASSERT_EQ(c.Open(path_, Access::kRead, false), 0);
  EXPECT_FALSE(c.SetPresence(Presence::kShared));
}

TEST_F(FileLockTest, ReadOnlyOpenLocksAgainstWriters) {
  File reader;
  ASSERT_EQ(reader.Open(path_, Access::kRead, false), 0);
  ASSERT_TRUE(reader.LockRange(376, 1));
  EXPECT_FALSE(a_.LockRange(376, 1));
  EXPECT_FALSE(reader.SetPresence(Presence::kExclusive)) << "a read-only open cannot be exclusive";
}

TEST_F(FileLockTest, LocksConflictBetweenProcesses) {
  ASSERT_TRUE(a_.LockRange(360, 1));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    File other;
    int status = other.Open(path_, Access::kReadWrite, false) == 0 ? 0 : 3;
    if (status == 0 && other.LockRange(360, 1)) status = 1;
    if (status == 0 && !other.LockRange(361, 1)) status = 2;
    ::_exit(status);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(File, ReadsAndWritesAtOffsetsAndReportsShortReads) {
  const std::string path = (std::filesystem::temp_directory_path() / ("rw-" + std::to_string(::getpid()))).string();
  File f;
  ASSERT_EQ(f.Open(path, Access::kReadWrite, true), 0);
  const char text[] = "hello";
  ASSERT_EQ(f.WriteAt(text, 5, int64_t{1} << 32), 0);  // 64-bit offsets
  int64_t size = 0;
  ASSERT_EQ(f.Size(&size), 0);
  EXPECT_EQ(size, (int64_t{1} << 32) + 5);
  char back[8] = {};
  int64_t done = 0;
  ASSERT_EQ(f.ReadAt(back, 8, int64_t{1} << 32, &done), 0);
  EXPECT_EQ(done, 5);
  EXPECT_STREQ(back, "hello");
  ASSERT_EQ(f.Truncate(3), 0);
  EXPECT_EQ(f.Sync(), 0);
  EXPECT_NE(f.WriteAt(text, 5, -1), 0);
  f.Close();
  EXPECT_EQ(RemoveFile(path), 0);
  EXPECT_EQ(RemoveFile(path), 0) << "removing a missing file is not an error";
  EXPECT_NE(f.Open(path, Access::kRead, false), 0);
}

}  // namespace
}  // namespace platform
