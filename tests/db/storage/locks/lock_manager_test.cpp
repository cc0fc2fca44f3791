// The table lock manager between connection slots: the compatibility of
// every pair of lock types, between two opens of the file and between two
// slots of one open; a slot's own locks; nesting; what the exclusive lock
// covers and what it hands back; the steps around a commit; failures on
// the lock paths, after which everything is free again.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "tests/db/storage/locks/lock_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::LockTest;
using testing::MultiUserOpen;
using T = TABSLockType;

constexpr TABSLockWait kOnce{10, 1};
constexpr TABSLockWait kTwice{10, 2};
const TABSRecordId kRecord{7, 3};
const TABSRecordId kOtherRecord{7, 4};

// Whether a request (column) is granted while another slot holds a lock
// (row); the record lock of another record. An edit lock does not keep a
// transaction from writing.
const char* const kExpectedCompatibility[] = {
    // 0123456  requested
    "1111110",  // held 0
    "1111010",  // held 1
    "1111110",  // held 2
    "1100010",  // held 3
    "1010010",  // held 4
    "1111110",  // held 5
    "0000000",  // held 6
};

bool Take(TABSDatabaseTableLockManager& locks, int32_t slot, T type, int32_t table, TABSLockWait wait,
          const TABSRecordId& record = kRecord) {
  if (type == T::kRecord) return locks.LockRecord(slot, table, wait, record);
  return locks.LockTable(slot, type, wait, table);
}

void Give(TABSDatabaseTableLockManager& locks, int32_t slot, T type, int32_t table,
          const TABSRecordId& record = kRecord) {
  if (type == T::kRecord) {
    EXPECT_TRUE(locks.UnlockRecord(slot, table, record));
  } else {
    locks.UnlockTable(slot, type, table);
  }
}

TEST_F(LockTest, CompatibilityOfEveryPairBetweenTwoOpensAndWithinOne) {
  CreateLockFile(4);
  const auto a = OpenMultiUser(2);
  const auto b = OpenMultiUser(1);
  const int32_t table = tables_[0];
  struct Requester {
    const char* name;
    MultiUserOpen* open;
    int32_t slot;
  };
  for (const Requester requester : {Requester{"another open", b.get(), b->Slot(0)},
                                    Requester{"the same open", a.get(), a->Slot(1)}}) {
    for (int held = 0; held < kLockTypeCount; ++held) {
      for (int requested = 0; requested < kLockTypeCount; ++requested) {
        SCOPED_TRACE(std::string(requester.name) + ": held " + std::to_string(held) + ", requested " +
                     std::to_string(requested));
        const bool expected = kExpectedCompatibility[held][requested] == '1';
        ASSERT_TRUE(Take(a->Locks(), a->Slot(0), static_cast<T>(held), table, kOnce));
        sleeps_.clear();
        const bool granted = Take(requester.open->Locks(), requester.slot, static_cast<T>(requested), table,
                                  kTwice, kOtherRecord);
        EXPECT_EQ(granted, expected);
        EXPECT_EQ(sleeps_.size(), granted ? 0u : 1u) << "one sleep between two tries, none after the last";
        if (!granted) {
          // A table request: half the base and a random part; a record request: the time given.
          EXPECT_EQ(sleeps_.front(), requested == LockTypeIndex(T::kRecord) ? 10 : 5);
        }
        if (granted) Give(requester.open->Locks(), requester.slot, static_cast<T>(requested), table, kOtherRecord);
        Give(a->Locks(), a->Slot(0), static_cast<T>(held), table);
        EXPECT_EQ(a->Locks().ListCount(), 0);
        EXPECT_EQ(requester.open->Locks().ListCount(), 0);
      }
    }
  }
  ExpectLocksFree(table);
  ExpectLocksFree(tables_[1]);
}

TEST_F(LockTest, RecordLocksConflictOnTheSameRecordOnly) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSDatabaseTableLockManager& locks = a->Locks();
  ASSERT_TRUE(locks.LockRecord(a->Slot(0), tables_[0], kOnce, kRecord));
  EXPECT_FALSE(b->Locks().LockRecord(b->Slot(0), tables_[0], kTwice, kRecord));
  EXPECT_TRUE(b->Locks().LockRecord(b->Slot(0), tables_[1], kOnce, kRecord)) << "another table";
  EXPECT_TRUE(b->Locks().UnlockRecord(b->Slot(0), tables_[1], kRecord));
  EXPECT_TRUE(b->Locks().LockRecord(b->Slot(0), tables_[0], kOnce, kOtherRecord));
  EXPECT_EQ(ProbeLocks(tables_[0]).ReadRecordId(b->Slot(0)), kOtherRecord);
  sleeps_.clear();
  EXPECT_FALSE(locks.LockRecord(a->Slot(0), tables_[0], kTwice, kOtherRecord)) << "one record lock per slot";
  EXPECT_TRUE(sleeps_.empty()) << "a clash with the slot's own lock fails at once";
  EXPECT_FALSE(locks.UnlockRecord(a->Slot(0), tables_[0], kOtherRecord)) << "not the record it locked";
  EXPECT_TRUE(locks.UnlockRecord(a->Slot(0), tables_[0], kRecord));
  EXPECT_FALSE(locks.UnlockRecord(a->Slot(0), tables_[0], kRecord));
  EXPECT_TRUE(b->Locks().UnlockRecord(b->Slot(0), tables_[0], kOtherRecord));
  ExpectLocksFree(tables_[0]);
}

TEST_F(LockTest, OwnLocksNeverConflictAndNestedRequestsLockTheByteOnce) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  TABSDatabaseTableLockManager& locks = a->Locks();
  const int32_t slot = a->Slot(0);
  const int32_t table = tables_[0];
  // Every type but the exclusive one beside each other, in both orders.
  for (const bool reversed : {false, true}) {
    for (int i = 0; i < kLockTypeCount - 1; ++i) {
      const T type = static_cast<T>(reversed ? kLockTypeCount - 2 - i : i);
      EXPECT_TRUE(Take(locks, slot, type, table, kOnce)) << LockTypeIndex(type);
      EXPECT_TRUE(ProbeHolds(table, type, slot)) << "its own byte: " << LockTypeIndex(type);
    }
    sleeps_.clear();
    EXPECT_FALSE(locks.LockTable(slot, T::kEdit, kTwice, table)) << "a second edit of the slot";
    EXPECT_TRUE(sleeps_.empty());
    for (int i = 0; i < kLockTypeCount - 1; ++i) Give(locks, slot, static_cast<T>(i), table);
    EXPECT_EQ(locks.ListCount(), 0);
  }
  // Nested read locks: the first unlock only lowers the count.
  EXPECT_TRUE(locks.LockTable(slot, T::kRead, kOnce, table));
  EXPECT_TRUE(locks.LockTable(slot, T::kRead, kOnce, table));
  ASSERT_EQ(locks.Entries(slot).size(), 1u);
  EXPECT_EQ(locks.Entries(slot)[0].count, 2);
  locks.UnlockTable(slot, T::kRead, table);
  EXPECT_TRUE(ProbeHolds(table, T::kRead, slot));
  locks.UnlockTable(slot, T::kRead, table);
  EXPECT_FALSE(ProbeHolds(table, T::kRead, slot));
  EXPECT_EQ(ErrorCode([&] { locks.UnlockTable(slot, T::kRead, table); }), 20202);
  EXPECT_EQ(locks.BoundFileCount(), 0) << "no lock and no table keeps the file bound";
  ExpectLocksFree(table);
}

TEST_F(LockTest, OnlyTheExclusiveLockCoversAndItsCoveredLocksGetTheirBytesWhenItGoes) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSDatabaseTableLockManager& locks = a->Locks();
  const int32_t slot = a->Slot(0);
  const int32_t table = tables_[0];
  ASSERT_TRUE(locks.LockTable(slot, T::kExclusive, kOnce, table));
  EXPECT_FALSE(b->Locks().LockTable(b->Slot(0), T::kShared, kOnce, table));
  for (const T type : {T::kShared, T::kEdit, T::kTransactionWrite}) {
    EXPECT_TRUE(locks.LockTable(slot, type, kOnce, table));
    EXPECT_FALSE(ProbeHolds(table, type, slot)) << "covered: no byte of its own";
  }
  EXPECT_TRUE(locks.LockRecord(slot, table, kOnce, kRecord));
  locks.UnlockTable(slot, T::kExclusive, table);
  for (const T type : {T::kShared, T::kEdit, T::kTransactionWrite, T::kRecord}) {
    EXPECT_TRUE(ProbeHolds(table, type, slot)) << "handed its byte: " << LockTypeIndex(type);
  }
  EXPECT_EQ(ProbeLocks(table).ReadRecordId(slot), kRecord);
  // So the other process still cannot take the table or write to it.
  EXPECT_FALSE(b->Locks().LockTable(b->Slot(0), T::kExclusive, kOnce, table));
  EXPECT_FALSE(b->Locks().LockTable(b->Slot(0), T::kWrite, kOnce, table));
  EXPECT_FALSE(b->Locks().LockRecord(b->Slot(0), table, kOnce, kRecord));
  EXPECT_TRUE(b->Locks().LockTable(b->Slot(0), T::kShared, kOnce, table));
  b->Locks().UnlockTable(b->Slot(0), T::kShared, table);
  // Locks taken beside a shared lock are never covered by it.
  locks.ReleaseAll(slot);
  ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, kOnce, table));
  ASSERT_TRUE(locks.LockTable(slot, T::kWrite, kOnce, table));
  EXPECT_TRUE(ProbeHolds(table, T::kWrite, slot));
  locks.UnlockTable(slot, T::kTransactionWrite, table);
  EXPECT_FALSE(b->Locks().LockTable(b->Slot(0), T::kRead, kOnce, table)) << "the write lock still holds";
  locks.ReleaseAll(slot);
  EXPECT_EQ(locks.ListCount(), 0);
  ExpectLocksFree(table);
}

TEST_F(LockTest, CommitStepsTakeWriteLocksAndReleaseTheTransactionsLocks) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSDatabaseTableLockManager& locks = a->Locks();
  const int32_t slot = a->Slot(0);
  const int32_t table = tables_[0];
  // Three posts in a transaction: one entry with count 3.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, lock_wait::kPost, table));
  ASSERT_EQ(locks.Entries(slot).size(), 1u);
  EXPECT_EQ(locks.Entries(slot)[0].count, 3);
  ASSERT_TRUE(locks.BeforeCommit(slot));
  EXPECT_TRUE(ProbeHolds(table, T::kWrite, slot));
  EXPECT_TRUE(locks.AfterCommit(slot));
  EXPECT_EQ(locks.ListCount(), 0);
  ExpectLocksFree(table);

  // Another slot's read lock keeps the commit from its write lock: the
  // commit step fails with nothing of it held.
  ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, kOnce, table));
  ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, kOnce, tables_[1]));
  ASSERT_TRUE(b->Locks().LockTable(b->Slot(0), T::kRead, kOnce, tables_[1]));
  sleeps_.clear();
  EXPECT_FALSE(locks.BeforeCommit(slot));
  EXPECT_EQ(sleeps_.size(), 899u);
  EXPECT_FALSE(locks.Holds(slot, T::kWrite, table)) << "the write lock it took goes again";
  EXPECT_FALSE(ProbeHolds(table, T::kWrite, slot));
  EXPECT_TRUE(locks.Holds(slot, T::kTransactionWrite, table)) << "the transaction keeps its own";
  b->Locks().UnlockTable(b->Slot(0), T::kRead, tables_[1]);

  locks.ReleaseAll(slot);
  // An edit still open when the transaction ends goes on under an edit
  // lock (one begun before the transaction has one already); where another
  // slot's transaction keeps that from it, the transaction's locks go all
  // the same.
  ASSERT_TRUE(b->Locks().LockTable(b->Slot(0), T::kTransactionWrite, kOnce, table));
  ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, kOnce, tables_[1]));
  ASSERT_TRUE(locks.LockRecord(slot, table, kOnce, kRecord));
  ASSERT_TRUE(locks.LockRecord(slot, tables_[1], kOnce, kRecord));
  ASSERT_TRUE(locks.LockTable(slot, T::kEdit, kOnce, tables_[1]));
  ASSERT_TRUE(locks.BeforeCommit(slot));
  EXPECT_FALSE(locks.AfterCommit(slot));
  EXPECT_FALSE(locks.Holds(slot, T::kTransactionWrite, table));
  EXPECT_FALSE(locks.Holds(slot, T::kTransactionWrite, tables_[1]));
  EXPECT_FALSE(locks.Holds(slot, T::kWrite, table));
  EXPECT_FALSE(locks.Holds(slot, T::kWrite, tables_[1]));
  EXPECT_FALSE(locks.Holds(slot, T::kEdit, table));
  EXPECT_EQ(locks.Entries(slot).size(), 3u) << "two record locks and the edit lock taken before";
  EXPECT_FALSE(ProbeHolds(tables_[1], T::kTransactionWrite, slot));
  EXPECT_FALSE(ProbeHolds(tables_[1], T::kWrite, slot));
  b->Locks().ReleaseAll(b->Slot(0));
  ASSERT_TRUE(locks.LockTable(slot, T::kTransactionWrite, kOnce, table));
  EXPECT_TRUE(locks.AfterCommit(slot)) << "a rollback: no commit step ran before";
  EXPECT_TRUE(locks.Holds(slot, T::kEdit, table));
  locks.ReleaseAll(slot);
  ExpectLocksFree(table);
  ExpectLocksFree(tables_[1]);
}

// Fails every write to one file range.
class WriteRefusal : public platform::FileObserver {
 public:
  WriteRefusal(std::string path, int64_t from, int64_t to) : path_(std::move(path)), from_(from), to_(to) {}
  void BeforeWrite(const std::string& path, int64_t offset, const void*, int64_t count) override {
    if (path == path_ && offset < to_ && from_ < offset + count) throw EABSException(1, "refused");
  }
  void AfterSync(const std::string&) override {}
  void BeforeTruncate(const std::string&, int64_t) override {}
  void AfterRemove(const std::string&) override {}
  void AfterDirectorySync(const std::string&) override {}

 private:
  std::string path_;
  int64_t from_;
  int64_t to_;
};

TEST_F(LockTest, FailuresOnTheLockPathsLeaveEverythingFree) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  TABSDatabaseTableLockManager& locks = a->Locks();
  const int32_t slot = a->Slot(0);
  const int32_t table = tables_[0];
  struct Case {
    const char* name;
    int32_t taken_byte;  // held by another open, or -1
    std::function<bool()> request;
    int32_t code;
  };
  TABSInternalDBDirectAccessFile stolen(Probe(), ptTableLocks);
  stolen.Open(table);
  const int64_t page_offset = Probe().PageOffset(table);
  const std::vector<Case> cases = {
      {"a table byte already taken by another open", LockTypeIndex(T::kWrite) * 3 + slot,
       [&] { return locks.LockTable(slot, T::kWrite, kOnce, table); }, 20203},
      {"a record byte already taken by another open", LockTypeIndex(T::kRecord) * 3 + slot,
       [&] { return locks.LockRecord(slot, table, kOnce, kRecord); }, 20205},
      {"a slot beyond the connections (table)", -1, [&] { return locks.LockTable(3, T::kRead, kOnce, table); },
       20200},
      {"a slot beyond the connections (record)", -1, [&] { return locks.LockRecord(-1, table, kOnce, kRecord); },
       10781},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.taken_byte >= 0) {
      ASSERT_TRUE(stolen.LockByte(c.taken_byte));
    }
    EXPECT_EQ(ErrorCode(c.request), c.code);
    if (c.taken_byte >= 0) stolen.UnlockByte(c.taken_byte);
    EXPECT_EQ(locks.ListCount(), 0);
    ExpectLocksFree(table);
  }
  // Writing the record id fails: the record byte is given back too.
  {
    WriteRefusal refusal(Path(), page_offset, page_offset + Probe().PageSize());
    platform::SetFileObserver(&refusal);
    EXPECT_EQ(ErrorCode([&] { locks.LockRecord(slot, table, kOnce, kRecord); }), 1);
    platform::SetFileObserver(nullptr);
  }
  EXPECT_EQ(locks.ListCount(), 0);
  ExpectLocksFree(table);
  // The manager still works: its critical section was left.
  EXPECT_TRUE(locks.LockRecord(slot, table, kOnce, kRecord));
  EXPECT_TRUE(locks.UnlockRecord(slot, table, kRecord));
  ExpectLocksFree(table);
}

}  // namespace
}  // namespace kelvorin
