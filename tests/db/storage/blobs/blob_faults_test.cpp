// Faults inside BLOB storage: memory that runs out, or a write to the file
// that fails, at any point of storing, replacing and deleting values. A
// store that fails leaves nothing behind even when its session is then
// committed; any other failed change, its session rolled back, leaves the
// table's records, values and pages as they were.
#include <gtest/gtest.h>

#include <functional>

#include "tests/db/storage/blobs/blob_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::BlobBytes;
using testing::WriteFaults;

class BlobFaultTest : public testing::BlobStorageTest {
 protected:
  void SetUp() override {
    BlobStorageTest::SetUp();
    CreateBlobTable(512);
    for (int i = 0; i < 6; ++i) {
      values_.push_back({BlobBytes(i % 2 ? 3000 : 90, uint8_t(i)), BlobBytes(200 * i, uint8_t(i + 7))});
      ids_.push_back(InsertWith(i, values_.back().first, values_.back().second));
    }
    pages_->CommitSession(kSession);
    base_index_ = BlobIndexEntries();
    base_used_ = UsedPages();
    ReopenBlobTable();
    pages_->Close();
    base_ = ReadAll(Path());
  }

  void Restart() {
    pages_->CloseDiscarding();
    WriteAll(Path(), base_);
    records_->SetCounters(6, 6);
    ReopenBlobTable();
  }
  // The table as it was before the change.
  void ExpectBase() {
    ASSERT_EQ(records_->RecordCount(), 6);
    for (size_t i = 0; i < ids_.size(); ++i) {
      std::vector<uint8_t> record = ReadRecord(ids_[i]);
      EXPECT_EQ(ValueOf(record, kPlain), values_[i].first);
      EXPECT_EQ(ValueOf(record, kPacked), values_[i].second);
    }
    const std::vector<TABSPageAmount> index = BlobIndexEntries();
    ASSERT_EQ(index.size(), base_index_.size());
    for (size_t i = 0; i < index.size(); ++i) {
      EXPECT_EQ(index[i].page_no, base_index_[i].page_no);
      EXPECT_EQ(index[i].amount, base_index_[i].amount);
    }
    EXPECT_EQ(UsedPages(), base_used_);
  }

  enum class Fault { kMemory, kWrite };

  // Runs the change (and, with `commit`, its commit) with the n-th fault,
  // n = 1, 2, ... until it succeeds; `prepare` runs before, without faults,
  // and `after_failure` settles the session of a failure.
  void RunWithFaults(const std::function<void()>& prepare, const std::function<void()>& change,
                     const std::function<void()>& after_failure, const std::function<void()>& check_success,
                     bool commit = true) {
    for (const Fault fault : {Fault::kMemory, Fault::kWrite}) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE((fault == Fault::kWrite ? "write " : "KiB left: ") + std::to_string(n));
        Restart();
        prepare();
        bool succeeded = false;
        {
          WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
          if (fault == Fault::kWrite) faults.fail_at = n;
          if (fault == Fault::kMemory) MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 512 * n);
          try {
            change();
            if (commit) pages_->CommitSession(kSession);
            succeeded = true;
          } catch (const EABSException&) {
          }
          MemoryManager().SetMemoryLimit(0);
        }
        if (succeeded) {
          EXPECT_GT(n, 1) << "no fault was met";
          check_success();
          ExpectFileClean(fields_);
          break;
        }
        after_failure();
        records_->SetCounters(6, 6);
        ExpectBase();
        ExpectFileClean(fields_);
        ASSERT_LT(n, 400) << "the change never succeeds";
      }
    }
  }

  void Rollback() {
    pages_->RollbackSession(kSession);
    records_->InvalidateCaches();
    blobs_->InvalidateCaches();
  }

  std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> values_;
  std::vector<TABSRecordId> ids_;
  std::vector<TABSPageAmount> base_index_;
  int32_t base_used_ = 0;
  std::vector<uint8_t> base_;
};

TEST_F(BlobFaultTest, AFailedStoreLeavesNothingBehind) {
  std::vector<uint8_t> record;
  RunWithFaults(
      [&] {
        record = NewRecord(7);
        blobs_->WriteValue(record.data(), kPlain, BlobBytes(5000).data(), 5000);
        blobs_->WriteValue(record.data(), kPacked, BlobBytes(300).data(), 300);
      },
      [&] { blobs_->StoreBlobs(kSession, record.data(), true); },
      [&] {
        // Whatever the store did, its session commits to the table as it was.
        MemoryManager().SetMemoryLimit(0);
        pages_->CommitSession(kSession);
        EXPECT_EQ(ReferenceOf(record, kPlain), ReferenceOf(NewRecord(7), kPlain)) << "the record is as it was";
        blobs_->ReleaseDescriptors(record.data());
      },
      [&] {
        blobs_->ReleaseDescriptors(record.data());
        pages_->CommitSession(kSession);
      },
      /*commit=*/false);
}

TEST_F(BlobFaultTest, InsertUpdateAndDelete) {
  struct Change {
    const char* name;
    std::function<void()> prepare;
    std::function<void()> run;
  };
  std::vector<uint8_t> record;
  const auto nothing = [] {};
  const std::vector<Change> changes = {
      {"insert",
       [&] {
         record = NewRecord(7);
         blobs_->WriteValue(record.data(), kPlain, BlobBytes(5000).data(), 5000);
         blobs_->WriteValue(record.data(), kPacked, BlobBytes(300).data(), 300);
       },
       [&] {
         TABSRecordId id;
         if (!Post(record, &id, true)) throw EABSException(99998, "insert failed");
       }},
      {"update",
       [&] {
         record = ReadRecord(ids_[1]);
         blobs_->WriteValue(record.data(), kPlain, BlobBytes(70).data(), 70);
         blobs_->WriteValue(record.data(), kPacked, BlobBytes(9000).data(), 9000);
       },
       [&] {
         TABSRecordId id = ids_[1];
         if (!Post(record, &id, false)) throw EABSException(99998, "update failed");
       }},
      {"delete", nothing, [&] { DeleteRecord(ids_[3]); }},
      {"delete all", nothing,
       [&] {
         blobs_->DeleteAll(kSession);
         records_->Empty(kSession);
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    RunWithFaults(
        change.prepare, change.run,
        [&] {
          Rollback();
          blobs_->ReleaseDescriptors(record.data());
        },
        [&] { blobs_->ReleaseDescriptors(record.data()); });
  }
}

}  // namespace
}  // namespace kelvorin
