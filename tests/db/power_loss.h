// A simulated power loss for the crash tests: at the k-th write or sync
// of the watched files, the disk keeps what was synced, loses the rest (or
// keeps an arbitrary part of it), and may keep the first half of the write
// in progress. Shared by the storage layer's crash tests and the tests of
// the operations built on it.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/db/storage/storage_test_util.h"

namespace kelvorin {

// What a power loss does to the writes since the last sync.
enum class Unsynced { kLost, kSomeKept };

// A power loss at the k-th write or sync (which then does not complete).
// The disk keeps what was synced;
// of the writes and truncations since, it loses every one, or (reordering,
// as disks and file systems may) keeps an arbitrary subset of those issued
// after the last sync of another file (a commit's batch after its journal
// became durable), e.g. the final header but not a page before it. The k-th
// write itself may reach the disk in part (its first half, in whole
// sectors).
//
// By default the failed write or sync raises Failure, and the caller puts
// the disk's content back with Restore. With `end_process`, the process
// instead puts it back at once and ends (_exit(0)), as a machine losing
// power would: nothing runs after the loss (for a child process).
class PowerLoss : public platform::FileObserver {
 public:
  struct Failure {};

  PowerLoss(std::vector<std::string> paths, int at, bool tear, Unsynced unsynced, bool end_process = false)
      : at_(at), tear_(tear), unsynced_(unsynced), end_process_(end_process), choice_(static_cast<uint32_t>(at)) {
    for (auto& path : paths) {
      File f;
      f.exists = std::filesystem::exists(path);
      if (f.exists) f.content = testing::StorageTest::ReadAll(path);
      f.synced = f.content;
      files_[path] = f;
    }
    platform::SetFileObserver(this);
  }
  ~PowerLoss() override { platform::SetFileObserver(nullptr); }

  void BeforeWrite(const std::string& path, int64_t offset, const void* data, int64_t count) override {
    if (dead_ || !files_.count(path)) return;
    File& f = files_[path];
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (++events_ < at_) {
      f.pending.push_back({offset, std::vector<uint8_t>(bytes, bytes + count), false});
      return;
    }
    Die();
    const int64_t kept = tear_ ? count / 2 / 512 * 512 : 0;
    if (f.exists && kept > 0) Apply(f, {offset, std::vector<uint8_t>(bytes, bytes + kept), false});
    Fail();
  }
  void AfterSync(const std::string& path) override {
    if (dead_ || !files_.count(path)) return;
    if (++events_ >= at_) {
      Die();
      Fail();
    }
    File& f = files_[path];
    f.synced = testing::StorageTest::ReadAll(path);
    f.content = f.synced;
    f.pending.clear();
    for (auto& [other, o] : files_) o.batch_start = &o == &f ? kNoBatch : o.pending.size();
  }
  void BeforeTruncate(const std::string& path, int64_t size) override {
    if (dead_ || !files_.count(path)) return;
    files_[path].pending.push_back({size, {}, true});
  }
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {
    if (dead_) return;
    for (auto& [path, f] : files_) {
      const bool exists = std::filesystem::exists(path);
      if (exists && !f.exists) f.content = f.synced;
      f.exists = exists;
    }
  }

  bool Dead() const { return dead_; }
  // Puts back what the disk would hold after the power came back.
  void Restore() {
    for (auto& [path, f] : files_) {
      if (f.exists) {
        testing::StorageTest::WriteAll(path, f.content);
      } else {
        std::filesystem::remove(path);
      }
    }
  }

 private:
  static constexpr size_t kNoBatch = SIZE_MAX;
  struct Change {
    int64_t offset;  // the new size, for a truncation
    std::vector<uint8_t> bytes;
    bool truncation;
  };
  struct File {
    bool exists = false;
    std::vector<uint8_t> content;  // durable content
    std::vector<uint8_t> synced;
    std::vector<Change> pending;  // since the last sync
    size_t batch_start = kNoBatch;  // the first pending change after a sync of another file
  };

  static void Apply(File& f, const Change& change) {
    if (change.truncation) {
      f.content.resize(static_cast<size_t>(change.offset));
      return;
    }
    const size_t end = static_cast<size_t>(change.offset) + change.bytes.size();
    if (f.content.size() < end) f.content.resize(end);
    std::copy(change.bytes.begin(), change.bytes.end(), f.content.begin() + change.offset);
  }
  [[noreturn]] void Fail() {
    if (!end_process_) throw Failure{};
    platform::SetFileObserver(nullptr);
    Restore();
    ::_exit(0);
  }
  void Die() {
    dead_ = true;
    if (unsynced_ == Unsynced::kSomeKept) KeepSomePending();
  }
  void KeepSomePending() {
    for (auto& [path, f] : files_) {
      if (!f.exists) continue;
      for (size_t i = f.batch_start; f.batch_start != kNoBatch && i < f.pending.size(); ++i) {
        if (choice_() % 2 == 0) Apply(f, f.pending[i]);
      }
    }
  }

  std::map<std::string, File> files_;
  int events_ = 0;
  int at_;
  bool tear_;
  Unsynced unsynced_;
  bool end_process_;
  std::minstd_rand choice_;
  bool dead_ = false;
};

}  // namespace kelvorin
