// Counts every write, truncation and rename of files through the platform
// layer and kills the process (SIGKILL) at the chosen one, for the tests
// that check what a process dying at any write leaves behind.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace kelvorin::testing {

class WriteKiller : public platform::FileObserver {
 public:
  // -1: only counts.
  explicit WriteKiller(int kill_at) : kill_at_(kill_at) { platform::SetFileObserver(this); }
  ~WriteKiller() override { platform::SetFileObserver(nullptr); }
  void BeforeWrite(const std::string&, int64_t, const void*, int64_t) override { Count(); }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override { Count(); }
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}
  void BeforeRename(const std::string&, const std::string&) override { Count(); }
  int writes = 0;

 private:
  void Count() {
    if (++writes == kill_at_) ::raise(SIGKILL);
  }
  int kill_at_;
};

// Runs `work` once and returns how many writes it made.
inline int CountWrites(const std::function<void()>& work) {
  WriteKiller counter(-1);
  work();
  return counter.writes;
}

// For each write k of `moments` in turn: `reset` puts the files back, a
// child process runs `work` and is killed at its k-th write, and `check`
// looks at what it left. Stops at the first failure.
inline void KillAtWrites(const std::vector<int>& moments, const std::function<void()>& reset,
                         const std::function<void()>& work, const std::function<void()>& check) {
  for (const int k : moments) {
    SCOPED_TRACE("killed at write " + std::to_string(k));
    reset();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      WriteKiller killer(k);
      work();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    check();
    if (::testing::Test::HasFailure()) return;
  }
}

// The writes 1..total.
inline std::vector<int> EveryWrite(int total) {
  std::vector<int> moments;
  for (int k = 1; k <= total; ++k) moments.push_back(k);
  return moments;
}

// KillAtWrites at every write `work` makes.
inline void KillAtEveryWrite(const std::function<void()>& reset, const std::function<void()>& work,
                             const std::function<void()>& check) {
  reset();
  const int total = CountWrites(work);
  ASSERT_GT(total, 0);
  KillAtWrites(EveryWrite(total), reset, work, check);
}

}  // namespace kelvorin::testing
