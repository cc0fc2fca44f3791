// Records of disk tables through the table object: the managers a table is
// created and opened with, the state block that keeps their counters, and
// emptying and deleting a table that holds records.
#include <gtest/gtest.h>

#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/db/storage/records/record_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::RecordOf;
using C = TABSColumnType;

class TableRecordsTest : public testing::CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    CreateAndOpen();
    CreateTournamentTables();
  }

  void CreatePictures() {
    CreateTable("obrazky", {Field("id", C::Integer), Field("foto", C::Blob), Field("popis", C::Memo)}, {"id"});
  }
  // Inserts records whose BLOB fields hold values of the sizes given (small
  // and large in turn), and commits them with the table's state.
  void InsertPictures(TABSDiskTableData& table, int count) {
    TABSDiskRecordManager& records = table.DiskRecordManager();
    TABSBlobManager& blobs = *table.BlobManager();
    for (int i = 0; i < count; ++i) {
      std::vector<uint8_t> record(static_cast<size_t>(records.Layout().MemorySize()), 0);
      record[0] = 0xFE;  // id set, the rest NULL
      StoreLE(record.data() + 1, i);
      const std::vector<uint8_t> value(static_cast<size_t>(i % 3 == 0 ? 9000 : 100 + i), uint8_t(i));
      blobs.WriteValue(record.data(), 1, value.data(), static_cast<int64_t>(value.size()));
      blobs.WriteValue(record.data(), 2, "popis", 5);
      const TABSBlobStore store = blobs.StoreBlobs(0, record.data(), true);
      TABSRecordId id;
      ASSERT_TRUE(records.Insert(0, record.data(), id));
      blobs.ReleaseStored(record.data(), store);
    }
    table.WriteState(0);
    db_->CommitTransaction(0, false);
  }

  // Inserts records into an open table and commits them with its state.
  void InsertRecords(TABSDiskTableData& table, int count) {
    TABSDiskRecordManager& records = table.DiskRecordManager();
    for (int i = 0; i < count; ++i) {
      TABSRecordId id;
      ASSERT_TRUE(records.Insert(0, RecordOf(records.Layout(), static_cast<uint8_t>(i)).data(), id));
    }
    table.WriteState(0);
    db_->CommitTransaction(0, false);
  }
};

TEST_F(TableRecordsTest, TheStateBlockKeepsTheCounters) {
  // The players' fields, without an index: the records go in by themselves.
  CreateTable("hraci2", {Field("Jmeno", C::String, 20), Field("Rating", C::Integer), Field("id", C::AutoInc)});
  {
    TABSCursor cursor(*session_, "hraci2");
    TABSDiskTableData* table = db_->OpenTable(cursor);
    EXPECT_EQ(table->DiskRecordManager().RecordsPerPage(), 134);
    InsertRecords(*table, 200);
    // A rollback returns the counters to what the file has.
    TABSRecordId id;
    ASSERT_TRUE(table->DiskRecordManager().Insert(0, RecordOf(table->DiskRecordManager().Layout(), 1).data(), id));
    EXPECT_EQ(table->RecordManager()->RecordCount(), 201);
    db_->RollbackTransaction(0);
    EXPECT_EQ(table->RecordManager()->RecordCount(), 200);
    EXPECT_EQ(table->RecordManager()->ChangeCounter(), 200);
    db_->CloseTable(cursor);
  }
  Open();
  TABSCursor cursor(*session_, "hraci2");
  TABSDiskTableData* table = db_->OpenTable(cursor);
  EXPECT_EQ(table->RecordCount(), 200);
  EXPECT_EQ(table->RecordManager()->RecordCount(), 200);
  EXPECT_EQ(table->RecordManager()->ChangeCounter(), 200);
  db_->CloseTable(cursor);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TableRecordsTest, EmptyingATableGivesUpItsRecordPages) {
  {
    TABSCursor cursor(*session_, "seskupeni");
    InsertRecords(*db_->OpenTable(cursor), 1000);
    db_->CloseTable(cursor);
  }
  TABSCursor cursor(*session_, "seskupeni");
  db_->EmptyTable(cursor);
  TABSDiskTableData* table = db_->OpenTable(cursor);
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_EQ(table->ChangeCounter(), 1001) << "raised, never reset";
  TABSNavigateRequest first;
  first.go_to_first = true;
  table->RecordManager()->Navigate(0, first);
  EXPECT_EQ(first.status, TABSNavigateStatus::kAfterLast);
  db_->CloseTable(cursor);
  // A record page still in use would be a leak.
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TableRecordsTest, EmptyingATableGivesUpItsBlobPages) {
  CreatePictures();
  TABSCursor cursor(*session_, "obrazky");
  TABSDiskTableData* table = db_->OpenTable(cursor);
  InsertPictures(*table, 40);
  db_->EmptyTable(cursor);
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_EQ(table->ChangeCounter(), 41);
  // Values and records go in and out again.
  InsertPictures(*table, 10);
  db_->CloseTable(cursor);
  db_->EmptyTable(cursor);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TableRecordsTest, DeletingATableGivesUpItsRecordAndBlobPages) {
  CreatePictures();
  TABSCursor pictures(*session_, "obrazky");
  InsertPictures(*db_->OpenTable(pictures), 40);
  db_->CloseTable(pictures);
  db_->DeleteTable(*session_, "obrazky");
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TableRecordsTest, DeletingATableGivesUpItsRecordPages) {
  TABSCursor cursor(*session_, "seskupeni");
  InsertRecords(*db_->OpenTable(cursor), 1000);
  db_->CloseTable(cursor);
  db_->DeleteTable(*session_, "seskupeni");
  ExpectCatalogueCleanAfterClose();
}

}  // namespace
}  // namespace kelvorin
