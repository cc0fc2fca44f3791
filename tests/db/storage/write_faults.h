// A file observer for the storage tests: counts the writes to a database
// file (only its pages, or every write to it and its journal) and fails the
// chosen one, or every write from it on; counts the file's syncs too.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/file/database_file_layout.h"
#include "platform/file.h"

namespace kelvorin::testing {

class WriteFaults : public platform::FileObserver {
 public:
  enum class Scope { kPages, kFileAndJournal };

  explicit WriteFaults(std::string path, Scope scope = Scope::kPages) : path_(std::move(path)), scope_(scope) {
    platform::SetFileObserver(this);
  }
  ~WriteFaults() override { platform::SetFileObserver(nullptr); }
  WriteFaults(const WriteFaults&) = delete;
  WriteFaults& operator=(const WriteFaults&) = delete;

  void BeforeWrite(const std::string& path, int64_t offset, const void*, int64_t) override {
    const bool counted = scope_ == Scope::kPages ? path == path_ && offset >= kPageAreaOffset
                                                 : path == path_ || path == path_ + "-journal";
    if (!counted) return;
    ++writes;
    if (writes == fail_at || (keep_failing && fail_at > 0 && writes > fail_at)) {
      throw EABSException(99999, "injected write failure");
    }
  }
  void AfterSync(const std::string& path) override {
    if (path == path_) ++syncs;
  }
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}

  int writes = 0;
  int syncs = 0;
  int fail_at = -1;           // the write that fails (from 1), -1 none
  bool keep_failing = false;  // and every write after it

 private:
  std::string path_;
  Scope scope_;
};

}  // namespace kelvorin::testing
