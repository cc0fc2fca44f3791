// Shared helpers of the lock tests: a database file with two tables, opens
// of it in multi-user mode (each open is an open file description of its
// own, whose byte locks conflict with another open's as another process's
// would) with sessions in them, a lock pacing that counts its sleeps
// instead of sleeping, and a probe: an open of its own that tests lock
// bytes and checks that every lock region is free.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/locks/table_locks_file.h"
#include "db/tables/records/table_data.h"
#include "platform/file.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin::testing {

// Kills the process, or fails one write, at the chosen write of the file
// (0: never).
class WriteTrap : public platform::FileObserver {
 public:
  WriteTrap(std::string path, int kill_at, int fail_at) : path_(std::move(path)), kill_at_(kill_at), fail_at_(fail_at) {}
  void BeforeWrite(const std::string& path, int64_t, const void*, int64_t) override {
    if (path != path_) return;
    ++writes_;
    if (writes_ == kill_at_) ::kill(::getpid(), SIGKILL);
    if (writes_ == fail_at_) throw EABSException(99999, "injected write failure");
  }
  void AfterSync(const std::string&) override {}
  // The writes of the file seen so far.
  int Writes() const { return writes_; }
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}

 private:
  std::string path_;
  int kill_at_;
  int fail_at_;
  int writes_ = 0;
};

// An INTEGER field of a record in memory form.
inline int32_t IntField(const TABSTableData& table, const uint8_t* record, int32_t field) {
  int32_t value;
  std::memcpy(&value, table.RecordFields().Slot(record, field), 4);
  return value;
}
inline void SetIntField(const TABSTableData& table, uint8_t* record, int32_t field, int32_t value) {
  std::memcpy(const_cast<uint8_t*>(table.RecordFields().Slot(record, field)), &value, 4);
  TABSRecordFields::SetNull(record, field, false);
}

// A database open in multi-user mode with its sessions (their numbers are
// their connection slots).
struct MultiUserOpen {
  std::unique_ptr<TABSDiskDatabaseData> db;
  std::vector<std::unique_ptr<TABSBaseSession>> sessions;

  TABSDatabaseTableLockManager& Locks() { return *db->LockManager(); }
  int32_t Slot(size_t i) const { return sessions.at(i)->SessionNumber(); }
  ~MultiUserOpen() {
    for (auto& session : sessions) {
      try {
        if (session->SessionNumber() >= 0) db->DisconnectSession(*session);
      } catch (...) {
      }
    }
  }
};

class LockTest : public CatalogTest {
 protected:
  void CreateLockFile(int32_t connections) {
    connections_ = connections;
    TABSDatabaseFileSettings settings;
    settings.max_connections = connections;
    CreateAndOpen(settings);
    CreateTable("alfa", {Field("n", TABSColumnType::Integer)});
    CreateTable("beta", {Field("n", TABSColumnType::Integer)});
    for (const TABSTableListEntry& entry : db_->TableList()) tables_.push_back(entry.locks_page);
    Close();
    db_.reset();
  }

  std::unique_ptr<MultiUserOpen> OpenMultiUser(int sessions) {
    auto open = std::make_unique<MultiUserOpen>();
    open->db = std::make_unique<TABSDiskDatabaseData>(Path(), TABSPassword{});
    open->db->SetLockPacing(CountingPacing());
    for (int i = 0; i < sessions; ++i) {
      open->sessions.push_back(std::make_unique<TABSBaseSession>(true, false));
      open->db->ConnectSession(*open->sessions.back());
    }
    return open;
  }

  TABSLockPacing CountingPacing() {
    return {[this](int32_t ms) { sleeps_.push_back(ms); }, [](int32_t) { return 0; }};
  }

  // An open of its own, for testing bytes.
  TABSDiskPageManager& Probe() {
    if (!probe_) {
      probe_ = std::make_unique<TABSDiskPageManager>();
      bool multi_user = true;
      bool read_only = false;
      probe_->OpenDatabaseFile(Path(), {}, multi_user, false, read_only);
    }
    return *probe_;
  }
  TABSTableLocksFile ProbeLocks(int32_t table) { return TABSTableLocksFile(Probe(), table, connections_); }
  bool ProbeHolds(int32_t table, TABSLockType type, int32_t slot) {
    return ProbeLocks(table).SlotHolds(type, slot);
  }

  // Another open can take the table's file lock and every lock byte.
  void ExpectLocksFree(int32_t table) {
    TABSInternalDBDirectAccessFile file(Probe(), ptTableLocks);
    file.Open(table);
    const int32_t bytes = (LockTypeIndex(TABSLockType::kRecord) + 1) * connections_;
    EXPECT_TRUE(file.LockFile()) << "the file lock of table " << table;
    EXPECT_TRUE(file.LockRegion(0, bytes)) << "the lock bytes of table " << table;
    file.UnlockRegion(0, bytes);
    file.UnlockFile();
  }

  int32_t connections_ = 0;
  std::vector<int32_t> tables_;
  std::vector<int32_t> sleeps_;
  std::unique_ptr<TABSDiskPageManager> probe_;
};

}  // namespace kelvorin::testing
