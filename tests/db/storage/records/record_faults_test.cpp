// Faults inside the record manager's changes: memory that runs out, or a
// write to the file that fails, at any point of an insert that adds a page
// and splits the record-page index, and of a delete that removes a page and
// merges the index. A failed insert reports false and leaves nothing behind;
// a failed delete raises; either way, the session rolled back, the table
// is what it was and the file checks clean.
#include <gtest/gtest.h>

#include <functional>

#include "tests/db/storage/records/record_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::RecordOf;
using testing::WriteFaults;
using C = TABSColumnType;

const std::vector<TABSDatasetFieldDef> kPlayers = {Field("Jmeno", C::String, 20), Field("Rating", C::Integer),
                                                   Field("id", C::AutoInc)};

class RecordFaultTest : public testing::RecordStorageTest {
 protected:
  // 512-byte pages hold 15 records; 75 full pages fill one leaf of the
  // record-page index, so the next page splits it.
  static constexpr int kRecords = 75 * 15;

  void SetUp() override {
    RecordStorageTest::SetUp();
    Create(kPlayers, 512);
    ASSERT_EQ(records_->RecordsPerPage(), 15);
    AddBase(kRecords);
  }
  // Commits `count` more records and takes the file as the base.
  void AddBase(int count) {
    for (int i = 0; i < count; ++i) ids_.push_back(Insert(RecordOf(records_->Layout(), uint8_t(i))));
    pages_->CommitSession(kSession);
    base_count_ = records_->RecordCount();
    base_pages_ = IndexEntries().size();
    Reopen(kPlayers);
    pages_->Close();
    base_ = ReadAll(Path());
    Reopen(kPlayers);
  }

  enum class Fault { kMemory, kWrite };

  // Runs the change with the n-th fault, for n = 1, 2, ... until it succeeds.
  // `failed` tells whether the change reported its failure.
  void RunWithFaults(Fault fault, const std::function<bool()>& change, int64_t count_after) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE((fault == Fault::kWrite ? "write " : "KiB left: ") + std::to_string(n));
      pages_->CloseDiscarding();
      WriteAll(Path(), base_);
      records_->SetCounters(base_count_, base_count_);
      Reopen(kPlayers);
      bool succeeded = false;
      {
        WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
        if (fault == Fault::kWrite) faults.fail_at = n;
        if (fault == Fault::kMemory) MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 256 * n);
        try {
          succeeded = change() && (pages_->CommitSession(kSession), true);
        } catch (const EABSException&) {
        }
        MemoryManager().SetMemoryLimit(0);
      }
      if (succeeded) {
        EXPECT_GT(n, 1) << "no fault was met";
        EXPECT_EQ(records_->RecordCount(), count_after);
        ExpectFileClean(kPlayers);
        EXPECT_EQ(static_cast<int64_t>(Walk().size()), count_after);
        return;
      }
      pages_->RollbackSession(kSession);
      records_->InvalidateCaches();
      records_->SetCounters(base_count_, base_count_);
      EXPECT_EQ(static_cast<int64_t>(Walk().size()), base_count_);
      EXPECT_EQ(IndexEntries().size(), base_pages_);
      ExpectFileClean(kPlayers);
      ASSERT_LT(n, 200) << "the change never succeeds";
    }
  }

  std::vector<TABSRecordId> ids_;
  std::vector<uint8_t> base_;
  int64_t base_count_ = 0;
  size_t base_pages_ = 0;
};

TEST_F(RecordFaultTest, InsertAddingAPage) {
  for (const Fault fault : {Fault::kMemory, Fault::kWrite}) {
    RunWithFaults(
        fault,
        [&] {
          TABSRecordId id;
          const int64_t before = records_->RecordCount();
          const bool inserted = records_->Insert(kSession, RecordOf(records_->Layout(), 7).data(), id);
          // A failed insert leaves nothing behind, even before a rollback.
          if (!inserted) {
            EXPECT_EQ(records_->RecordCount(), before);
            EXPECT_EQ(static_cast<int64_t>(Walk().size()), before);
          }
          return inserted;
        },
        kRecords + 1);
  }
}

TEST_F(RecordFaultTest, DeleteRemovingPages) {
  // One more page splits the index; deleting the records of two pages
  // removes both and merges the index's leaves back into one.
  AddBase(15);
  ASSERT_EQ(base_pages_, 76u);
  for (const Fault fault : {Fault::kMemory, Fault::kWrite}) {
    RunWithFaults(
        fault,
        [&] {
          for (int i = 0; i < 30; ++i) {
            if (!records_->Delete(kSession, ids_[i])) return false;
          }
          return true;
        },
        kRecords + 15 - 30);
  }
}

}  // namespace
}  // namespace kelvorin
