// The locks an edit holds between processes, checked after each operation
// of a multi-user cursor: what the lock manager lists for the cursor's
// connection slot. Each process is a list of open databases of its own
// (its own open of the file); lock waits are counted, not slept.
#include <algorithm>

#include "tests/db/access/local/local_test_util.h"
#include "tests/db/engine_error_capture.h"
#include "tests/db/storage/page_faults.h"

namespace kelvorin::testing {
namespace {

using T = TABSLockType;

class CursorLocksTest : public LocalAccessTest {
 protected:
  // The lock types the session's slot holds on the table, sorted.
  static std::vector<T> Held(TABSLocalSession& session) {
    std::vector<T> types;
    for (const TABSTableLockEntry& entry : session.DiskDatabase()->LockManager()->Entries(session.SessionNumber())) {
      types.push_back(entry.type);
    }
    std::sort(types.begin(), types.end());
    return types;
  }

  TABSOpenDatabases other_process_;
};

TEST_F(CursorLocksTest, EachOperationLeavesTheLedgerItsLocks) {
  TABSLocalSession* a = NewSession(list_, true);
  TABSLocalSession* b = NewSession(other_process_, true);
  auto ours = OpenCursor(*a);
  auto theirs = OpenCursor(*b);
  Insert(*ours, "Novak", 1);
  Insert(*ours, "Dvorak", 2);
  const std::vector<T> open = {T::kShared};
  EXPECT_EQ(Held(*a), open);

  // An edit holds the edit lock and the record's; post lets both go.
  std::vector<uint8_t> rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->BeginEdit(rec.data()));
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kEdit, T::kRecord}));
  SetInt(*ours, rec, "Body", 7);
  ASSERT_TRUE(ours->Post(rec.data(), false));
  EXPECT_EQ(Held(*a), open);

  // Another process edits the record: -12, and nothing of ours stays.
  std::vector<uint8_t> their_rec = FirstRecord(*theirs);
  ASSERT_TRUE(theirs->BeginEdit(their_rec.data()));
  rec = FirstRecord(*ours);
  EXPECT_FALSE(ours->BeginEdit(rec.data()));
  EXPECT_EQ(ours->Status(), -12);
  EXPECT_EQ(Held(*a), open);
  // -4 (they changed it since we read it), then a cancel releases nothing twice.
  SetInt(*theirs, their_rec, "Body", 8);
  ASSERT_TRUE(theirs->Post(their_rec.data(), false));
  EXPECT_FALSE(ours->BeginEdit(rec.data()));
  EXPECT_EQ(ours->Status(), -4);
  ours->Cancel(rec.data(), false);
  EXPECT_EQ(ours->Status(), 0);
  EXPECT_FALSE(ours->Editing());
  EXPECT_EQ(Held(*a), open);

  // -8 keeps the edit's locks for a corrected post.
  rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->BeginEdit(rec.data()));
  std::vector<uint8_t> second = ours->NewRecordBuffer();
  ours->First();
  ours->GetRecord(second.data(), TABSGetRecordMode::kNext);
  ours->GetRecord(second.data(), TABSGetRecordMode::kNext);
  SetInt(*ours, rec, "id", std::stoll(Get(*ours, second, "id")));
  EXPECT_FALSE(ours->Post(rec.data(), false));
  EXPECT_EQ(ours->Status(), -8);
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kEdit, T::kRecord}));
  ours->Cancel(rec.data(), false);
  EXPECT_EQ(Held(*a), open);

  // Deleting twice: the second finds nothing (-7); neither leaves a lock.
  rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->Delete(rec.data()));
  EXPECT_EQ(Held(*a), open);
  EXPECT_FALSE(ours->Delete(rec.data()));
  EXPECT_EQ(ours->Status(), -7);
  EXPECT_EQ(Held(*a), open);

  // Another process's transaction write lock keeps our edit out: -13.
  b->StartTransaction();
  Insert(*theirs, "Cerny", 3);
  rec = FirstRecord(*ours);
  EXPECT_FALSE(ours->BeginEdit(rec.data()));
  EXPECT_EQ(ours->Status(), -13);
  EXPECT_EQ(Held(*a), open);
  b->Commit();
  EXPECT_TRUE(ours->BeginEdit(rec.data()));

  // Closing during an edit lets every lock go.
  ours->Close();
  EXPECT_TRUE(Held(*a).empty());
}

// A begin edit whose reread fails after it took its locks lets them go:
// nothing is left for a cancel or a close to miss, and another process can
// edit the record.
TEST_F(CursorLocksTest, ABeginEditFailingAfterItsLocksLetsThemGo) {
  TABSLocalSession* a = NewSession(list_, true);
  TABSLocalSession* b = NewSession(other_process_, true);
  auto ours = OpenCursor(*a);
  auto theirs = OpenCursor(*b);
  Insert(*ours, "Novak", 1);
  const std::vector<T> open = {T::kShared};
  int32_t failures = 0;
  for (int32_t fail_at = 1;; ++fail_at) {
    SCOPED_TRACE("page operation " + std::to_string(fail_at));
    ASSERT_LT(fail_at, 50);
    std::vector<uint8_t> rec = FirstRecord(*ours);
    bool failed = false;
    int32_t code = 0;
    {
      PageFaults faults(fail_at);
      code = ErrorCode([&] { ours->BeginEdit(rec.data()); });
      failed = faults.failed.has_value();
    }
    if (!failed) break;
    ++failures;
    EXPECT_EQ(code, PageFaults::kInjected);
    EXPECT_FALSE(ours->Editing());
    EXPECT_EQ(Held(*a), open);
    ours->Cancel(rec.data(), false);
    EXPECT_EQ(Held(*a), open);
    std::vector<uint8_t> their_rec = FirstRecord(*theirs);
    ASSERT_TRUE(theirs->BeginEdit(their_rec.data())) << theirs->Status();
    theirs->Cancel(their_rec.data(), false);
  }
  EXPECT_GT(failures, 0);
  EXPECT_TRUE(ours->Editing());
  ours->Close();
  EXPECT_TRUE(Held(*a).empty());
}

TEST_F(CursorLocksTest, PostsInATransactionHoldAnotherProcessOffUntilCommit) {
  TABSLocalSession* a = NewSession(list_, true);
  TABSLocalSession* b = NewSession(other_process_, true);
  auto ours = OpenCursor(*a);
  auto theirs = OpenCursor(*b);
  a->StartTransaction();
  for (int i = 0; i < 3; ++i) Insert(*ours, "T" + std::to_string(i), i);
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kTransactionWrite}));
  std::vector<uint8_t> rec = theirs->NewRecordBuffer();
  theirs->InitRecordBuffer(rec.data(), true);
  SetText(*theirs, rec, "Jmeno", "Cizi");
  EXPECT_FALSE(theirs->Post(rec.data(), true));
  EXPECT_EQ(theirs->Status(), -13);
  EXPECT_EQ(Get(*theirs, rec, "id"), "NULL") << "the refused insert keeps no auto-increment value";
  a->Commit();
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared}));
  EXPECT_TRUE(theirs->Post(rec.data(), true));
  EXPECT_EQ(theirs->RecordCount(), 4);
}

TEST_F(CursorLocksTest, AnEditAcrossACommit) {
  TABSLocalSession* a = NewSession(list_, true);
  auto ours = OpenCursor(*a);
  Insert(*ours, "Novak", 1);

  // Begun inside: the transaction's write lock, which outlives the post.
  a->StartTransaction();
  std::vector<uint8_t> rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->BeginEdit(rec.data()));
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kTransactionWrite, T::kRecord}));
  SetInt(*ours, rec, "Body", 2);
  ASSERT_TRUE(ours->Post(rec.data(), false));
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kTransactionWrite}));
  a->Commit();
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared}));

  // Begun inside, posted after the commit: the edit lock the commit handed
  // over goes with the post.
  a->StartTransaction();
  rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->BeginEdit(rec.data()));
  a->Commit();
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kEdit, T::kRecord}));
  SetInt(*ours, rec, "Body", 3);
  ASSERT_TRUE(ours->Post(rec.data(), false));
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared}));

  // Begun outside, posted inside: the edit lock goes, the post's stays.
  rec = FirstRecord(*ours);
  ASSERT_TRUE(ours->BeginEdit(rec.data()));
  a->StartTransaction();
  SetInt(*ours, rec, "Body", 4);
  ASSERT_TRUE(ours->Post(rec.data(), false));
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared, T::kTransactionWrite}));
  a->Rollback();
  EXPECT_EQ(Held(*a), (std::vector<T>{T::kShared}));
  EXPECT_EQ(Get(*ours, FirstRecord(*ours), "Body"), "3");
}

}  // namespace
}  // namespace kelvorin::testing
