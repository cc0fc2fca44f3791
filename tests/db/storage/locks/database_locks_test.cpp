// Sessions and locks as the open database uses them: the modes of the
// sessions file, table opening under shared and exclusive locks, read locks
// around reading, commits and rollbacks with their lock steps and their
// order at failure, what a disconnect and a failed opening leave behind,
// and lock state that never goes through the journal or the cipher.
#include <gtest/gtest.h>

#include <cstring>

#include "db/storage/locks/lock_errors.h"
#include "db/storage/pages/page_hold.h"
#include "db/tables/records/table_lock_guards.h"
#include "platform/file.h"
#include "tests/db/storage/locks/lock_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;
using testing::LockTest;
using T = TABSLockType;

constexpr TABSLockWait kOnce{10, 1};

// A page of the session's own, changed: something for its commit to write.
void DirtyAPage(TABSDiskDatabaseData& db, int32_t session) {
  TABSPageHold page = TABSPageHold::Add(db.DiskPageManager(), session, ptTableRecord);
  page.MarkDirty();
}

TEST_F(LockTest, SessionsFileModes) {
  CreateLockFile(2);
  // A reader in single-user mode takes no slot, so a writer still gets the
  // file for itself.
  TABSDiskDatabaseData reader(Path(), {}, true);
  TABSBaseSession reading;
  reader.ConnectSession(reading);
  TABSDiskDatabaseData writer(Path(), {});
  TABSBaseSession writing;
  writer.ConnectSession(writing);
  EXPECT_FALSE(writer.ReadOnly());
  // ... and a second writer works read-only, seeing every slot taken.
  TABSDiskDatabaseData second(Path(), {});
  TABSBaseSession other;
  second.ConnectSession(other);
  EXPECT_TRUE(second.ReadOnly());
  const auto multi = OpenMultiUser(0);
  TABSBaseSession blocked(true, false);
  EXPECT_EQ(ErrorCode([&] { multi->db->ConnectSession(blocked); }), 20094);
  second.DisconnectSession(other);
  writer.DisconnectSession(writing);
  reader.DisconnectSession(reading);

  // Multi-user: a slot per session, and a slot is given back even when the
  // sessions file's lock cannot be had.
  const auto a = OpenMultiUser(2);
  EXPECT_EQ(a->Slot(0), 0);
  EXPECT_EQ(a->Slot(1), 1);
  TABSInternalDBDirectAccessFile sessions(Probe(), ptActiveSessionList);
  sessions.Open(a->db->SessionsFile().StartPage());
  ASSERT_TRUE(sessions.LockFile());
  EXPECT_EQ(ErrorCode([&] { a->db->DisconnectSession(*a->sessions[1]); }), 20096);
  EXPECT_FALSE(sessions.IsByteLocked(1)) << "the slot is free";
  EXPECT_EQ(ErrorCode([&] { a->db->ConnectSession(*a->sessions[1]); }), 20093)
      << "a connection never runs without the file lock";
  EXPECT_FALSE(sessions.IsByteLocked(1));
  EXPECT_EQ(a->sessions[1]->SessionNumber(), -1);
  sessions.UnlockFile();
  a->db->ConnectSession(*a->sessions[1]);
  EXPECT_EQ(a->Slot(1), 1);
}

TEST_F(LockTest, OpeningTakesTheSharedOrExclusiveLockAndReadsUnderAReadLock) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSCursor shared(*a->sessions[0], "alfa");
  TABSDiskTableData* table = a->db->OpenTable(shared);
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kShared, a->Slot(0)));
  TABSCursor exclusive(*b->sessions[0], "alfa", true);
  sleeps_.clear();
  EXPECT_EQ(ErrorOf([&] { b->db->OpenTable(exclusive); }),
            "Cannot access table 'alfa' in exclusive mode. Probably the table is open by another user - Native "
            "error: 20208");
  EXPECT_EQ(sleeps_.size(), 49u) << "50 tries";
  EXPECT_EQ(b->db->FindTableObject("alfa"), nullptr);
  EXPECT_EQ(table->Name(), "alfa");
  a->db->CloseTable(shared);
  EXPECT_NE(b->db->OpenTable(exclusive), nullptr);
  EXPECT_EQ(ErrorCode([&] { a->db->OpenTable(shared); }), 20209);
  EXPECT_EQ(a->db->FindTableObject("alfa"), nullptr) << "a failed opening leaves no table object";
  b->db->CloseTable(exclusive);

  // A table being written elsewhere cannot be read meanwhile: loading it
  // waits for its read lock, and reports the table locked.
  TABSCursor writing(*b->sessions[0], "alfa");
  TABSDiskTableData* written = b->db->OpenTable(writing);
  ASSERT_TRUE(written->LockTable(b->Slot(0), T::kWrite, kOnce));
  EXPECT_EQ(ErrorCode([&] { a->db->OpenTable(shared); }), 20209);
  EXPECT_EQ(a->db->FindTableObject("alfa"), nullptr);
  EXPECT_EQ(a->Locks().ListCount(), 0) << "no lock of the failed opening stays";
  EXPECT_EQ(shared.Table(), nullptr) << "nor its cursor";
  // The read lock of every read operation raises its own "Table is locked".
  written->UnlockTable(b->Slot(0), T::kWrite);
  ASSERT_NO_THROW(a->db->OpenTable(shared));
  ASSERT_TRUE(written->LockTable(b->Slot(0), T::kWrite, kOnce));
  for (const TABSNativeError& error : {native::kTableLockedFetch, native::kTableLockedCount,
                                       native::kTableLockedIndexRead, native::kTableLockedBlob}) {
    EXPECT_EQ(ErrorOf([&] { TABSTableReadLock read(*shared.Table(), a->Slot(0), error); }),
              "Table is locked - Native error: " + std::to_string(error.code));
  }
  written->UnlockTable(b->Slot(0), T::kWrite);
  {
    TABSTableReadLock read(*shared.Table(), a->Slot(0), native::kTableLockedFetch);
    TABSTableReadLock nested(*shared.Table(), a->Slot(0), native::kTableLockedFetch);
    EXPECT_TRUE(ProbeHolds(tables_[0], T::kRead, a->Slot(0)));
    EXPECT_FALSE(written->LockTable(b->Slot(0), T::kWrite, kOnce));
  }
  EXPECT_FALSE(ProbeHolds(tables_[0], T::kRead, a->Slot(0)));
  EXPECT_TRUE(written->LockTable(b->Slot(0), T::kWrite, kOnce));
  written->UnlockTable(b->Slot(0), T::kWrite);
  a->db->CloseTable(shared);
  b->db->CloseTable(writing);
  ExpectLocksFree(tables_[0]);
}

TEST_F(LockTest, SingleUserAndReadOnlyLocking) {
  CreateLockFile(3);
  Open();
  TABSCursor cursor(*session_, "alfa", true);
  TABSDiskTableData* table = db_->OpenTable(cursor);
  EXPECT_EQ(db_->LockManager(), nullptr);
  for (const T type : {T::kRead, T::kEdit, T::kTransactionWrite, T::kWrite}) {
    EXPECT_TRUE(table->LockTable(0, type, kOnce));
  }
  EXPECT_TRUE(table->LockRecord(0, {1, 1}, kOnce));
  ExpectLocksFree(tables_[0]);  // not one byte of the table's locks file
  db_->CloseTable(cursor);
  Close();

  // A reader of a multi-user database holds read locks only.
  TABSDiskDatabaseData reader(Path(), {}, true);
  reader.SetLockPacing(CountingPacing());
  TABSBaseSession reading(true, false);
  reader.ConnectSession(reading);
  TABSCursor exclusive(reading, "alfa", true);
  TABSDiskTableData* read = reader.OpenTable(exclusive);
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kShared, reading.SessionNumber())) << "shared, for an exclusive cursor";
  EXPECT_FALSE(Probe().IsPageByteLocked(tables_[0], 0));
  for (const T type : {T::kEdit, T::kTransactionWrite, T::kWrite}) {
    EXPECT_FALSE(read->LockTable(reading.SessionNumber(), type, kOnce));
  }
  EXPECT_FALSE(read->LockRecord(reading.SessionNumber(), {1, 1}, kOnce));
  const auto writer = OpenMultiUser(1);
  EXPECT_FALSE(writer->Locks().LockTable(writer->Slot(0), T::kExclusive, kOnce, tables_[0]))
      << "a reader's lock keeps writers out";
  reader.CloseTable(exclusive);
  reader.DisconnectSession(reading);
  ExpectLocksFree(tables_[0]);
}

TEST_F(LockTest, CommitTakesWriteLocksFirstAndAFailedCommitKeepsTheTransaction) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSDiskDatabaseData& db = *a->db;
  const int32_t slot = a->Slot(0);
  TABSCursor cursor(*a->sessions[0], "alfa");
  TABSDiskTableData* table = db.OpenTable(cursor);
  const auto commit_counter = [&] {
    Probe().ReadHeader();
    return Probe().Header().commit_counter;
  };

  db.StartTransaction(slot);
  for (int post = 0; post < 3; ++post) ASSERT_TRUE(table->LockTable(slot, T::kTransactionWrite, lock_wait::kPost));
  DirtyAPage(db, slot);
  // Another process reads the table: the commit waits for it, then fails
  // before writing anything.
  ASSERT_TRUE(b->Locks().LockTable(b->Slot(0), T::kRead, kOnce, tables_[0]));
  const int32_t before = commit_counter();
  sleeps_.clear();
  EXPECT_EQ(ErrorOf([&] { db.CommitTransaction(slot, false); }),
            "Cannot commit changes. Locks of modified tables failed - Native error: 20233");
  EXPECT_EQ(sleeps_.size(), 899u);
  EXPECT_EQ(commit_counter(), before) << "no page written";
  EXPECT_TRUE(db.InTransaction(slot));
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kTransactionWrite, slot));
  EXPECT_FALSE(ProbeHolds(tables_[0], T::kWrite, slot));
  b->Locks().UnlockTable(b->Slot(0), T::kRead, tables_[0]);

  // A commit that fails while writing keeps the transaction and its own
  // locks, but not the write locks of the commit.
  {
    testing::WriteFaults faults(Path());
    faults.fail_at = 1;
    EXPECT_NE(ErrorCode([&] { db.CommitTransaction(slot, true); }), 0);
  }
  EXPECT_TRUE(db.InTransaction(slot));
  EXPECT_GT(db.DiskPageManager().DirtyPageCount(slot), 0);
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kTransactionWrite, slot));
  EXPECT_FALSE(ProbeHolds(tables_[0], T::kWrite, slot));
  db.CommitTransaction(slot, true);
  EXPECT_EQ(commit_counter(), before + 1);
  EXPECT_FALSE(db.InTransaction(slot));
  EXPECT_FALSE(ProbeHolds(tables_[0], T::kTransactionWrite, slot));
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kShared, slot)) << "the cursor's lock stays";

  // A rollback: the pages go, then the locks.
  db.StartTransaction(slot);
  ASSERT_TRUE(table->LockTable(slot, T::kTransactionWrite, lock_wait::kPost));
  DirtyAPage(db, slot);
  db.RollbackTransaction(slot);
  EXPECT_EQ(db.DiskPageManager().DirtyPageCount(slot), 0);
  EXPECT_FALSE(ProbeHolds(tables_[0], T::kTransactionWrite, slot));

  // Outside a transaction a commit takes no lock of its own, and a failed
  // one is rolled back before its caller lets its locks go.
  ASSERT_TRUE(table->LockTable(slot, T::kWrite, lock_wait::kPost));
  DirtyAPage(db, slot);
  {
    testing::WriteFaults faults(Path());
    faults.fail_at = 1;
    EXPECT_NE(ErrorCode([&] { db.CommitTransaction(slot, false); }), 0);
  }
  EXPECT_EQ(db.DiskPageManager().DirtyPageCount(slot), 0);
  EXPECT_TRUE(ProbeHolds(tables_[0], T::kWrite, slot)) << "its caller's lock, for the caller to release";
  table->UnlockTable(slot, T::kWrite);
  db.CloseTable(cursor);
  ExpectLocksFree(tables_[0]);
}

TEST_F(LockTest, DisconnectReleasesEveryLockThenTheSlot) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  TABSDiskDatabaseData& db = *a->db;
  const int32_t slot = a->Slot(0);
  TABSCursor cursor(*a->sessions[0], "alfa");
  TABSDiskTableData* table = db.OpenTable(cursor);
  db.StartTransaction(slot);
  ASSERT_TRUE(table->LockTable(slot, T::kTransactionWrite, kOnce));
  ASSERT_TRUE(table->LockRecord(slot, {3, 3}, kOnce));
  ASSERT_TRUE(db.LockTable(*table, slot, T::kExclusive, kOnce));
  DirtyAPage(db, slot);
  TABSBaseSession keeper(true, false);
  db.ConnectSession(keeper);  // keeps the file open
  db.DisconnectSession(*a->sessions[0]);
  EXPECT_FALSE(db.InTransaction(slot));
  EXPECT_EQ(db.DiskPageManager().DirtyPageCount(slot), 0) << "its transaction rolled back";
  EXPECT_EQ(db.LockManager()->ListCount(), 0);
  ExpectLocksFree(tables_[0]);
  TABSInternalDBDirectAccessFile sessions(Probe(), ptActiveSessionList);
  sessions.Open(db.SessionsFile().StartPage());
  EXPECT_FALSE(sessions.IsByteLocked(slot));
  db.CloseTable(cursor);
  db.DisconnectSession(keeper);
}

// Lock state is written in place: never into the journal (putting it back
// would write stale record ids over live ones), never encrypted.
TEST_F(LockTest, LockStateBypassesTheJournalAndTheCipher) {
  const TABSPassword password{"heslo", 0};
  TABSDatabaseFileSettings settings;
  settings.max_connections = 3;
  connections_ = 3;
  TABSDiskDatabaseData::CreateDatabase(Path(), password, settings);
  {
    TABSDiskDatabaseData db(Path(), password);
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    const auto defs = Definitions({testing::Field("n", TABSColumnType::Integer)});
    db.CreateTable("alfa", defs->Fields(), defs->Indexes(), defs->Constraints());
    tables_.push_back(db.TableList()[0].locks_page);
  }
  TABSDiskDatabaseData db(Path(), password);
  TABSBaseSession session(true, false);
  const TABSSessionConnection connection(db, session);
  TABSCursor cursor(session, "alfa");
  TABSDiskTableData* table = db.OpenTable(cursor);
  const TABSRecordId record{12, 5};
  ASSERT_TRUE(table->LockRecord(session.SessionNumber(), record, kOnce));
  DirtyAPage(db, session.SessionNumber());
  db.CommitTransaction(session.SessionNumber(), true);
  // The journal kept from that commit holds no image of the locks file.
  const std::vector<uint8_t> journal = ReadAll(Path() + "-journal");
  const int64_t page_size = db.DiskPageManager().PageSize();
  ASSERT_GT(journal.size(), 420u);
  for (int64_t at = 420; at + 4 <= static_cast<int64_t>(journal.size()); at += 4 + page_size + 4) {
    EXPECT_NE(LoadI32(journal.data() + at), tables_[0]) << "an image of the locks file";
  }
  // Read as a page of an encrypted file, it is plain and needs no checksum.
  TABSDiskPageManager fresh;
  bool multi_user = true;
  bool read_only = true;
  fresh.OpenDatabaseFile(Path(), password, multi_user, false, read_only);
  {
    const TABSPageHold page = TABSPageHold::Get(fresh, 1, tables_[0], ptTableLocks);
    EXPECT_EQ(TABSRecordId::Load(page->Data() + 10 + 6 * 3 + 6 * session.SessionNumber()), record);
  }
  fresh.Close();
  EXPECT_TRUE(table->UnlockRecord(session.SessionNumber(), record));
  db.CloseTable(cursor);
  const TABSIntegrityReport report = CheckDatabaseCatalogue(Path(), password);
  EXPECT_FALSE(report.HasCorruption()) << report.Describe();
}

}  // namespace
}  // namespace kelvorin
