// The catalogue's checker on tables that hold records and BLOB values: a
// sound table checks clean, and each kind of damage to record pages, BLOB
// pages, large BLOBs, references and counts is reported.
#include <gtest/gtest.h>

#include "db/tables/btree/record_index.h"
#include "tests/db/storage/catalog/catalog_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using C = TABSColumnType;

// The cursor through which the test enters a record's key into an index.
class KeyCursor : public TABSIndexCursor {
 public:
  KeyCursor(const uint8_t* record, TABSRecordId id) : record_(record), id_(id) {}
  int32_t SessionId() const override { return 0; }
  const uint8_t* Record() const override { return record_; }
  TABSRecordId RecordId() const override { return id_; }
  const uint8_t* BeforeImage() const override { return nullptr; }
  void ForEachRecord(const std::function<void(TABSRecordId, const uint8_t*)>&) override {}

 private:
  const uint8_t* record_;
  TABSRecordId id_;
};

class TableContentCheckTest : public testing::CatalogTest {
 protected:
  static constexpr int32_t kPageSize = 4096;
  static constexpr int32_t kFoto = 1;
  static constexpr int32_t kPopis = 2;

  void SetUp() override {
    CatalogTest::SetUp();
    CreateAndOpen();
    CreateTable("obrazky", {Field("id", C::Integer), Field("foto", C::Blob), Field("popis", C::Memo)}, {"id"});
    TABSCursor cursor(*session_, "obrazky");
    TABSDiskTableData& table = *db_->OpenTable(cursor);
    TABSDiskRecordManager& records = table.DiskRecordManager();
    TABSBlobManager& blobs = *table.BlobManager();
    TABSBTreeRecordIndex index(db_->DiskPageManager(), table.Metadata().Fields(), &records);
    index.Open(*table.Metadata().Indexes().Items(0));
    record_size_ = records.Layout().StoredSize();
    records_per_page_ = records.RecordsPerPage();
    for (int i = 0; i < 12; ++i) {
      std::vector<uint8_t> record(static_cast<size_t>(records.Layout().MemorySize()), 0);
      record[0] = 0xFE;
      StoreLE(record.data() + 1, i);
      const std::vector<uint8_t> foto(static_cast<size_t>(i % 2 ? 5000 + i : 40 + i), uint8_t(i));
      blobs.WriteValue(record.data(), kFoto, foto.data(), static_cast<int64_t>(foto.size()));
      blobs.WriteValue(record.data(), kPopis, "text", 4);
      const TABSBlobStore store = blobs.StoreBlobs(0, record.data(), true);
      TABSRecordId id;
      ASSERT_TRUE(records.Insert(0, record.data(), id));
      blobs.ReleaseStored(record.data(), store);
      KeyCursor key(record.data(), id);
      index.Insert(key);
      ids_.push_back(id);
      references_.push_back({TABSBlobReference::Load(record.data() + 5), TABSBlobReference::Load(record.data() + 15)});
    }
    table.WriteState(0);
    db_->CommitTransaction(0, false);
    db_->CloseTable(cursor);
    Close();
    base_ = ReadAll(Path());
  }

  // The offset in its page of a stored record's byte.
  int32_t RecordOffset(TABSRecordId id, int32_t offset_in_record) const {
    return kPageHeaderSize + (records_per_page_ + 7) / 8 + id.slot * record_size_ + offset_in_record;
  }

  // Each problem the checker reports, as text.
  std::string Problems() {
    Close();
    return CheckDatabaseCatalogue(Path()).Describe();
  }

  struct Damage {
    const char* name;
    std::function<void()> apply;
    std::vector<std::string> reported;
  };
  void Run(const std::vector<Damage>& cases) {
    for (const Damage& damage : cases) {
      SCOPED_TRACE(damage.name);
      WriteAll(Path(), base_);
      damage.apply();
      const std::string problems = Problems();
      for (const std::string& text : damage.reported) {
        EXPECT_NE(problems.find(text), std::string::npos) << "missing: " << text << "\nreport:\n" << problems;
      }
    }
  }

  int32_t record_size_ = 0;
  int32_t records_per_page_ = 0;
  std::vector<TABSRecordId> ids_;
  std::vector<std::pair<TABSBlobReference, TABSBlobReference>> references_;  // foto, popis
  std::vector<uint8_t> base_;
};

TEST_F(TableContentCheckTest, ASoundTableChecksClean) {
  ExpectCatalogueClean(Path());
  // Every large value's pages are reached through the records: taking a
  // record's reference away leaves them unreached.
  ASSERT_TRUE(references_[1].first.IsLarge());
  PatchPage(ids_[1].page_no, RecordOffset(ids_[1], 5), testing::I32(-1));
  const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
  EXPECT_FALSE(report.HasCorruption()) << report.Describe();
  EXPECT_EQ(report.LeakCount(), 2) << report.Describe();
}

TEST_F(TableContentCheckTest, DamageIsReported) {
  const TABSRecordId first = ids_[0];
  const TABSBlobReference small = references_[0].first, large = references_[1].first;
  Run({
      {"a slot bit cleared",
       [&] { PatchPage(first.page_no, kPageHeaderSize, {0xFE}); },
       {"holds 11 records, the record-page index lists 12", "index 'I_id'"}},
      {"a bit beyond the last slot",
       [&] { PatchPage(first.page_no, kPageHeaderSize + (records_per_page_ - 1) / 8, {0xFF}); },
       {"bits set beyond its last slot"}},
      {"another record count",
       [&] {
         Open();
         TABSCursor cursor(*session_, "obrazky");
         TABSDiskTableData* table = db_->OpenTable(cursor);
         table->DiskRecordManager().SetCounters(13, 0);
         table->WriteState(0);
         db_->CommitTransaction(0, false);
         db_->CloseTable(cursor);
       },
       {"the state block counts 13"}},
      {"an entry the BLOB page does not hold",
       [&] { PatchPage(first.page_no, RecordOffset(first, 5 + 4), {200, 0}); },
       {"which its BLOB page does not hold", "is named by no record"}},
      {"two records naming one large value",
       [&] { PatchPage(ids_[3].page_no, RecordOffset(ids_[3], 5), testing::I32(large.page_no)); },
       {"and again by"}},
      {"two records naming one small value",
       [&] {
         std::vector<uint8_t> reference(6);
         small.Store(reference.data());
         PatchPage(ids_[2].page_no, RecordOffset(ids_[2], 5), reference);
       },
       {"as table 'obrazky' record"}},
      {"a NULL field naming a value",
       [&] { PatchPage(first.page_no, RecordOffset(first, 0), {0xFE | 0x02}); },
       {"is NULL but names a BLOB value"}},
      {"a value in a page the index does not list",
       [&] { PatchPage(first.page_no, RecordOffset(first, 5), testing::I32(large.page_no)); },
       {"BLOB page"}},
      {"a reference out of the file",
       [&] { PatchPage(first.page_no, RecordOffset(first, 5), testing::I32(70000)); },
       {"names BLOB page 70000"}},
      {"a large value's page list naming a page twice",
       [&] { PatchPage(large.page_no, kPageHeaderSize + 22, testing::I32(large.page_no)); },
       {"Large blob at page " + std::to_string(large.page_no) + " is damaged"}},
      {"a BLOB page counting more entries",
       [&] { PatchPage(small.page_no, kPageHeaderSize, {40, 0}); },
       {"Blob page " + std::to_string(small.page_no) + " is damaged"}},
      {"a BLOB page using other bytes than listed",
       [&] {
         // One entry less: the walk stays in the page, the bytes differ.
         const uint8_t count = base_[380 + int64_t{small.page_no} * kPageSize + kPageHeaderSize];
         PatchPage(small.page_no, kPageHeaderSize, {uint8_t(count - 1), 0});
       },
       {"the BLOB-page index lists", "which its BLOB page does not hold"}},
  });
}

}  // namespace
}  // namespace kelvorin
