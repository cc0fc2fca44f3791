// Counts every write, truncation and rename of files through the platform
// layer and kills the process (SIGKILL) at the chosen one, for the tests
// that check what a process dying at any write leaves behind.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

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

}  // namespace kelvorin::testing
