// Inserting, updating and deleting records of a disk table through the
// table object: auto-increment values, constraints, the refusals of a post,
// indexes kept in step, and posts that fail part-way undone whole, inside
// and outside explicit transactions.
#include <gtest/gtest.h>


#include "db/storage/streams/memory_stream.h"
#include "tests/db/storage/write_faults.h"
#include "tests/db/tables/records/table_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorCode;
using testing::ErrorOf;
using testing::Field;
using testing::MemoryRecord;
using testing::NewRecord;
using testing::Scan;
using testing::SetInt;
using testing::SetNull;
using testing::SetText;
using testing::Text;
using C = TABSColumnType;

class TablePostTest : public testing::TableTest {
 protected:
  // The players table: Jmeno STRING(20) required and unique, Rating INTEGER
  // between 1 and 3000, id AUTOINC primary key.
  void CreatePlayers() {
    TABSDatasetFieldDef name = Field("Jmeno", C::String, 20);
    name.required = true;
    TABSDatasetFieldDef rating = Field("Rating", C::Integer);
    rating.minimum.SetInteger(1);
    rating.maximum.SetInteger(3000);
    auto defs = Definitions({name, rating, Field("id", C::AutoInc)});
    AddIndex(*defs, "I_id", {"id"}, true, true);
    AddIndex(*defs, "I_Jmeno", {"Jmeno"}, true, false);
    AddIndex(*defs, "I_Rating", {"Rating"}, false, false);
    defs->DeriveIndexConstraints();
    db_->CreateTable("hraci", defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  MemoryRecord Player(const std::string& name, int rating) {
    MemoryRecord record = NewRecord(*table_, *session_);
    if (!name.empty()) SetText(*table_, record, "Jmeno", name);
    if (rating != 0) SetInt(*table_, record, "Rating", rating);
    return record;
  }
  TABSPostResult Insert(MemoryRecord& record) { return table_->InsertRecord(*session_, record.data()); }

  // The table as "name:rating:id" in storage order.
  std::vector<std::string> Contents() {
    std::vector<std::string> rows;
    for (const auto& stored : Scan(*table_)) {
      rows.push_back(Text(*table_, stored.record, "Jmeno") + ":" + Text(*table_, stored.record, "Rating") + ":" +
                     Text(*table_, stored.record, "id"));
    }
    return rows;
  }

};

TEST_F(TablePostTest, PlayersGetTheirIdsAndKeepThemAcrossReopening) {
  CreatePlayers();
  OpenTable("hraci");
  for (const char* name : {"Novak", "Svoboda", "Dvorak"}) {
    MemoryRecord record = Player(name, 1500);
    const TABSPostResult result = Insert(record);
    ASSERT_TRUE(result.Succeeded()) << result.message;
  }
  EXPECT_EQ(Contents(), (std::vector<std::string>{"Novak:1500:1", "Svoboda:1500:2", "Dvorak:1500:3"}));
  ExpectIndexesMatchTheRecords();
  Reopen("hraci");
  MemoryRecord record = Player("Cerny", 1400);
  ASSERT_TRUE(Insert(record).Succeeded());
  EXPECT_EQ(Text(*table_, record, "id"), "4") << "the caller's record shows the value";
  EXPECT_EQ(table_->RecordCount(), 4);
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TablePostTest, ViolationsAreRefusedBeforeAnythingChanges) {
  CreatePlayers();
  OpenTable("hraci");
  MemoryRecord first = Player("Novak", 1500);
  ASSERT_TRUE(Insert(first).Succeeded());
  struct Case {
    const char* name;
    int rating;
    int64_t id;  // 0: generated
    std::string message;
  } cases[] = {
      {"", 1500, 0,
       "Constraint '$C_NotNull$hraci$Jmeno' violated. Value in field 'Jmeno' cannot be null - Native error: 30026"},
      {"Svoboda", -3, 0,
       "Constraint '$C_Check$hraci$Rating' violated. Value in field 'Rating' cannot be lower then '1' - Native "
       "error: 30029"},
      {"Svoboda", 3001, 0,
       "Constraint '$C_Check$hraci$Rating' violated. Value in field 'Rating' cannot be greater then '3000' - "
       "Native error: 30030"},
      {"Novak", 1500, 0, "Constraint unique 'C_Unique$Jmeno' violated. Duplicate found. - Native error: 30320"},
      {"Svoboda", 1500, 1, "Primary Key constraint 'C_PK$id' violated. Duplicate found. - Native error: 30319"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    MemoryRecord record = Player(c.name, c.rating);
    if (c.id != 0) SetInt(*table_, record, "id", c.id);
    const MemoryRecord before = record;
    const TABSPostResult result = Insert(record);
    EXPECT_EQ(result.code, TABSPostCode::kConstraintViolated);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(record, before) << "the generated id is taken back";
  }
  EXPECT_EQ(Contents(), (std::vector<std::string>{"Novak:1500:1"}));
  MemoryRecord next = Player("Svoboda", 1500);
  ASSERT_TRUE(Insert(next).Succeeded());
  EXPECT_EQ(Text(*table_, next, "id"), "2") << "a refused post takes no value";
  ExpectIndexesMatchTheRecords();
}

TEST_F(TablePostTest, UpdatesAndDeletesOfRecordsThatChangedAreRefused) {
  CreatePlayers();
  OpenTable("hraci");
  MemoryRecord a = Player("Novak", 1500), b = Player("Svoboda", 1600);
  const TABSRecordId id_a = Insert(a).id, id_b = Insert(b).id;
  // Another cursor changes b after this one read it.
  MemoryRecord b_edit = b;
  SetInt(*table_, b_edit, "Rating", 1700);
  MemoryRecord other = b;
  SetInt(*table_, other, "Rating", 1650);
  ASSERT_TRUE(table_->UpdateRecord(*session_, id_b, other.data(), b.data()).Succeeded());
  EXPECT_EQ(table_->UpdateRecord(*session_, id_b, b_edit.data(), b.data()).code, TABSPostCode::kUpdateModified);
  EXPECT_EQ(table_->DeleteRecord(*session_, id_b, b.data()).code, TABSPostCode::kDeleteModified);
  // A duplicate key on update is refused too; the record itself is no duplicate.
  MemoryRecord a_edit = a;
  SetText(*table_, a_edit, "Jmeno", "Svoboda");
  EXPECT_EQ(table_->UpdateRecord(*session_, id_a, a_edit.data(), a.data()).code, TABSPostCode::kConstraintViolated);
  SetText(*table_, a_edit, "Jmeno", "Novak");
  SetInt(*table_, a_edit, "Rating", 1800);
  ASSERT_TRUE(table_->UpdateRecord(*session_, id_a, a_edit.data(), a.data()).Succeeded());
  ASSERT_TRUE(table_->DeleteRecord(*session_, id_a, a_edit.data()).Succeeded());
  EXPECT_EQ(table_->UpdateRecord(*session_, id_a, a_edit.data(), a_edit.data()).code, TABSPostCode::kUpdateDeleted);
  EXPECT_EQ(table_->DeleteRecord(*session_, id_a, a_edit.data()).code, TABSPostCode::kDeleteDeleted);
  EXPECT_EQ(Contents(), (std::vector<std::string>{"Svoboda:1650:2"}));
  ExpectIndexesMatchTheRecords();
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

// A post that fails part-way, at any allocation, leaves the table, its
// indexes, its state and the caller's record as they were; inside a
// transaction the transaction's earlier posts stay.
TEST_F(TablePostTest, FailedPostsUndoOnlyThemselves) {
  CreatePlayers();
  for (const bool transaction : {false, true}) {
    SCOPED_TRACE(transaction ? "in a transaction" : "autocommitted");
    OpenTable("hraci");
    table_->EmptyTable(0);
    db_->CommitTransaction(0, false);
    if (transaction) db_->StartTransaction(0);
    std::vector<std::string> expected;
    int failures = 0;
    for (int i = 0; i < 60; ++i) {
      MemoryRecord record = Player("Hrac " + std::to_string(i), 1000 + i);
      for (int64_t slack = 0;; slack += 97) {
        const MemoryRecord before = record;
        MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + slack);
        TABSPostResult result;
        bool raised = false;
        try {
          result = Insert(record);
        } catch (const EABSException&) {
          raised = true;
        }
        MemoryManager().SetMemoryLimit(0);
        if (!raised && result.Succeeded()) break;
        ++failures;
        ASSERT_EQ(record, before);
        ASSERT_EQ(Contents(), expected) << "slack " << slack;
      }
      expected.push_back("Hrac " + std::to_string(i) + ":" + std::to_string(1000 + i) + ":" + std::to_string(i + 1));
    }
    EXPECT_GT(failures, 60);
    EXPECT_EQ(Contents(), expected);
    ExpectIndexesMatchTheRecords();
    if (transaction) db_->CommitTransaction(0, false);
    CloseCursor();
    Close();
    ExpectCatalogueClean(Path());
    Open();
  }
}

// The checker finds an index entry without its record and a record
// without its index entry.
TEST_F(TablePostTest, TheCheckerFindsIndexesOutOfStepWithTheRecords) {
  CreatePlayers();
  for (const bool drop_entry : {true, false}) {
    SCOPED_TRACE(drop_entry ? "entry dropped" : "record dropped");
    OpenTable("hraci");
    table_->EmptyTable(0);
    db_->CommitTransaction(0, false);
    std::vector<TABSRecordId> ids;
    std::vector<MemoryRecord> records;
    for (const char* name : {"Novak", "Svoboda", "Dvorak"}) {
      records.push_back(Player(name, 1500));
      ids.push_back(Insert(records.back()).id);
    }
    records[1] = testing::Scan(*table_)[1].record;
    if (drop_entry) {
      TABSBTreeRecordIndex& index = table_->IndexManager().Index(1);
      index.Delete(0, records[1].data(), ids[1]);
    } else {
      ASSERT_TRUE(table_->RecordManager()->Delete(0, ids[1]));
      table_->WriteState(0);
    }
    db_->CommitTransaction(0, false);
    CloseCursor();
    Close();
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    EXPECT_TRUE(report.HasCorruption());
    const std::string described = report.Describe();
    if (drop_entry) {
      EXPECT_NE(described.find("index 'I_Jmeno': the record at page"), std::string::npos) << described;
    } else {
      EXPECT_NE(described.find("index 'I_id'"), std::string::npos) << described;
    }
    Open();
  }
}

// An index added later is built over the records and committed with the
// definitions; one whose keys repeat, or whose commit fails, leaves the
// table as it was.
TEST_F(TablePostTest, IndexesAddedLaterAreBuiltOverTheRecords) {
  CreatePlayers();
  OpenTable("hraci");
  for (int i = 0; i < 300; ++i) {
    MemoryRecord record = Player("Hrac " + std::to_string(i), 1000 + i % 7);
    ASSERT_TRUE(Insert(record).Succeeded());
  }
  const auto index_on = [](const char* name, bool unique) {
    auto index = std::make_unique<TABSIndexDef>();
    index->SetName(name);
    index->SetColumns({"Rating", "Jmeno"}, {"DESC", ""}, {"", ""});
    if (unique) index->Columns().pop_back();
    index->SetUnique(unique);
    return index;
  };
  EXPECT_EQ(ErrorOf([&] { db_->AddIndex(*cursor_, index_on("I_unique", true)); }),
            "Constraint unique 'C_Unique$Rating' violated. Duplicate found. - Native error: 30320");
  {
    testing::WriteFaults faults(Path());
    faults.fail_at = 1;
    EXPECT_EQ(ErrorCode([&] { db_->AddIndex(*cursor_, index_on("I_faulty", false)); }), 99999);
  }
  EXPECT_EQ(table_->Metadata().Indexes().Count(), 3);
  EXPECT_EQ(table_->Metadata().Constraints().Count(), 4);
  db_->AddIndex(*cursor_, index_on("I_RatingJmeno", false));
  ExpectIndexesMatchTheRecords();
  Reopen("hraci");
  EXPECT_EQ(table_->Metadata().Indexes().Count(), 4);
  ExpectIndexesMatchTheRecords();
  MemoryRecord record = Player("Novy", 1500);
  ASSERT_TRUE(Insert(record).Succeeded());
  ExpectIndexesMatchTheRecords();
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

// BLOB values: NULL written through field access lets the stored value go
// when the record is posted; a record whose BLOB was read is still the
// stored record when it is deleted.
TEST_F(TablePostTest, BlobValuesGoWithTheirRecordsAndFields) {
  auto defs = Definitions({Field("id", C::AutoInc), Field("Data", C::Blob), Field("Text", C::Memo)});
  db_->CreateTable("b", defs->Fields(), defs->Indexes(), defs->Constraints());
  OpenTable("b");
  TABSBlobManager& blobs = *table_->BlobManager();
  MemoryRecord record = NewRecord(*table_, *session_);
  const std::string small(4031, 's'), large(9000, 'l');
  blobs.WriteValue(record.data(), 1, small.data(), static_cast<int64_t>(small.size()));
  blobs.WriteValue(record.data(), 2, large.data(), static_cast<int64_t>(large.size()));
  const TABSRecordId id = Insert(record).id;
  EXPECT_EQ(blobs.DescriptorCount(), 0) << "the written values are stored";
  EXPECT_EQ(table_->DiskBlobManager().IndexRoot() >= 0, true);

  MemoryRecord read = testing::Scan(*table_)[0].record;
  MemoryRecord edited = read;
  SetNull(*table_, edited, "Data");
  ASSERT_TRUE(table_->UpdateRecord(*session_, id, edited.data(), read.data()).Succeeded());
  blobs.ReleaseDescriptors(edited.data());
  CloseCursor();
  ExpectCatalogueCleanAfterClose();  // no value is left without its record
  Open();
  OpenTable("b");
  read = testing::Scan(*table_)[0].record;
  EXPECT_TRUE(TABSRecordFields::IsNull(read.data(), 1));
  TABSMemoryStream text;
  table_->BlobManager()->LoadBlob(0, read.data(), 2, text);
  EXPECT_EQ(text.Size(), 9000);
  EXPECT_TRUE(table_->DeleteRecord(*session_, id, read.data()).Succeeded()) << "the handle does not count";
  table_->BlobManager()->ReleaseDescriptors(read.data());
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

// Two sessions of one process in single-user mode share one transaction:
// the second one's post joins the first one's open transaction instead of
// committing it.
TEST_F(TablePostTest, APostNeverCommitsAnotherSessionsTransaction) {
  CreatePlayers();
  TABSBaseSession other;
  db_->ConnectSession(other);
  OpenTable("hraci");
  db_->StartTransaction(session_->SessionNumber());
  MemoryRecord first = Player("Novak", 1500);
  ASSERT_TRUE(Insert(first).Succeeded());
  MemoryRecord second = Player("Svoboda", 1600);
  ASSERT_TRUE(table_->InsertRecord(other, second.data()).Succeeded());
  EXPECT_TRUE(db_->InTransaction(other.SessionNumber()));
  db_->RollbackTransaction(session_->SessionNumber());
  EXPECT_TRUE(Contents().empty());
  EXPECT_EQ(table_->RecordCount(), 0);
  CloseCursor();
  db_->DisconnectSession(other);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(TablePostTest, LimitsOfTablesAreRefused) {
  // A record larger than a page, its size summed in 64 bits.
  auto huge = Definitions({Field("a", C::String, 1000000000), Field("b", C::String, 1000000000),
                           Field("c", C::String, 1000000000)});
  EXPECT_EQ(ErrorCode([&] { db_->CreateTable("h", huge->Fields(), huge->Indexes(), huge->Constraints()); }), 20174);
  // A table at the most records its state block can count.
  CreatePlayers();
  OpenTable("hraci");
  table_->RecordManager()->SetCounters(TABSBaseRecordManager::kMaxRecordCount, 0);
  MemoryRecord record = Player("Novak", 1500);
  const TABSPostResult result = Insert(record);
  EXPECT_EQ(result.code, TABSPostCode::kConstraintViolated);
  EXPECT_EQ(result.native_error, 10743);
  EXPECT_TRUE(Contents().empty());
}

// A temporary index is kept in step with the table while it is current,
// rebuilt once a rollback left it behind, and dropped with the last cursor.
TEST_F(TablePostTest, TemporaryIndexesFollowTheTableUntilTheLastCursorCloses) {
  CreatePlayers();
  OpenTable("hraci");
  for (const char* name : {"Novak", "Svoboda"}) {
    MemoryRecord record = Player(name, 1500);
    ASSERT_TRUE(Insert(record).Succeeded());
  }
  TABSIndexDef* temporary = table_->AddTemporaryIndex(0, {"Rating", "Jmeno"}, {"DESC", ""}, {"", "NO_CASE"});
  EXPECT_EQ(temporary->Name().rfind("TEMPORARY_INDEX_", 0), 0u);
  EXPECT_EQ(table_->IndexManager().Count(), 4);
  MemoryRecord record = Player("Dvorak", 1400);
  ASSERT_TRUE(Insert(record).Succeeded());
  ExpectIndexesMatchTheRecords();
  db_->StartTransaction(0);
  MemoryRecord undone = Player("Cerny", 1300);
  ASSERT_TRUE(Insert(undone).Succeeded());
  db_->RollbackTransaction(0);
  EXPECT_FALSE(table_->IndexManager().IsCurrent(3, table_->ChangeCounter()));
  table_->RefreshTemporaryIndex(0, *table_->Metadata().Indexes().Items(3));
  ExpectIndexesMatchTheRecords();
  CloseCursor();
  OpenTable("hraci");
  EXPECT_EQ(table_->Metadata().Indexes().Count(), 3) << "the last cursor took the temporary index along";
  CloseCursor();
  ExpectCatalogueCleanAfterClose();
}

}  // namespace
}  // namespace kelvorin
