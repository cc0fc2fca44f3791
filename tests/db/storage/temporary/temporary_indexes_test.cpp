// Temporary indexes: an ordering asked for is served by a matching index,
// else by a temporary index built in the table's temporary page manager;
// writes keep it current, a rollback or a write it missed makes it stale
// and it is rebuilt on the next request; the last close drops it.
#include <gtest/gtest.h>

#include "db/storage/temporary/temporary_indexes.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::MemoryRecord;
using testing::NewRecord;
using testing::SetInt;
using testing::SetText;
using testing::Text;
using C = TABSColumnType;

// The values of field `n` in the order of the index.
std::vector<int64_t> InIndexOrder(TABSTableData& table, const TABSIndexDef& definition) {
  TABSBaseIndexManager& indexes = table.IndexManager();
  const int32_t position = table.Metadata().Indexes().IndexOfNumber(definition.ObjectId());
  EXPECT_GE(definition.RootPage(), 0) << definition.Name();
  std::vector<int64_t> values;
  MemoryRecord record(static_cast<size_t>(table.RecordFields().MemorySize()));
  TABSIndexRecordRequest request;
  request.destination = record.data();
  for (indexes.Index(position).GetRecord(0, request, nullptr); request.result == TABSGetRecordResult::kFound;
       indexes.Index(position).GetRecord(0, request, nullptr)) {
    values.push_back(std::stoll(Text(table, record, "n")));
    request.mode = TABSGetRecordMode::kNext;
    request.current_id = request.found_id;
    request.current_record = record.data();
  }
  return values;
}

std::vector<int64_t> Descending(int64_t from, int64_t to) {
  std::vector<int64_t> values;
  for (int64_t v = to; v >= from; --v) values.push_back(v);
  return values;
}

int32_t TemporaryPagesInUse(TABSTableData& table) {
  return static_cast<TABSTemporaryPageManager*>(table.IndexManager().TemporaryPages())->AllocatedPageCount();
}

class MemoryTemporaryIndexTest : public testing::VolatileTableTest {
 protected:
  void Insert(TABSTableData& table, int64_t n) {
    MemoryRecord record = NewRecord(table, *session_);
    SetInt(table, record, "n", n);
    SetText(table, record, "s", "s" + std::to_string(n % 7));
    ASSERT_TRUE(table.InsertRecord(*session_, record.data()).Succeeded());
  }
};

TEST_F(MemoryTemporaryIndexTest, BuiltUsedKeptCurrentRebuiltWhenStaleAndDroppedAtTheLastClose) {
  TABSMemoryTableData& table = CreateMemory("sorted", {Field("n", C::Integer), Field("s", C::String, 10)}, {"n"});
  for (int i = 0; i < 1000; ++i) Insert(table, (i * 37) % 1000);
  const int32_t table_pages = table.MemoryPages().AllocatedPageCount();
  TABSIndexDef* index = IndexForOrdering(table, Session(), {"n"}, {"DESC"}, {""});
  ASSERT_NE(index, nullptr);
  EXPECT_TRUE(index->Temporary());
  EXPECT_EQ(index->Name().rfind("TEMPORARY_INDEX_", 0), 0u) << index->Name();
  EXPECT_EQ(index->ChangeCounter(), table.ChangeCounter());
  EXPECT_GT(TemporaryPagesInUse(table), 1) << "the tree lives in the temporary pages";
  EXPECT_EQ(table.MemoryPages().AllocatedPageCount(), table_pages) << "none in the table's own pages";
  EXPECT_EQ(InIndexOrder(table, *index), Descending(0, 999));
  // The same ordering again, and one a persistent index gives.
  EXPECT_EQ(IndexForOrdering(table, Session(), {"N"}, {"DESC"}, {""}), index);
  EXPECT_FALSE(IndexForOrdering(table, Session(), {"n"}, {"ASC"}, {""})->Temporary());
  // Writes keep it current.
  Insert(table, 1000);
  EXPECT_EQ(index->ChangeCounter(), table.ChangeCounter());
  EXPECT_EQ(InIndexOrder(table, *index), Descending(0, 1000));
  // A rollback leaves it stale (it cannot tell what was undone); the next
  // request rebuilds it.
  MemoryDatabase().RollbackTransaction(Session());
  EXPECT_LT(index->RootPage(), 0) << "stale";
  EXPECT_EQ(IndexForOrdering(table, Session(), {"n"}, {"DESC"}, {""}), index);
  EXPECT_EQ(InIndexOrder(table, *index), Descending(0, 1000));
  // Another session's request gets an index of its own.
  TABSIndexDef* other = IndexForOrdering(table, Session() + 1, {"n"}, {"DESC"}, {""});
  EXPECT_NE(other, index);
  EXPECT_EQ(other->Name() == index->Name(), false);
  // The last close drops them and gives their pages back.
  CloseCursor(CursorOf(table));
  EXPECT_EQ(table.Metadata().Indexes().Count(), 1);
  EXPECT_EQ(TemporaryPagesInUse(table), 0);
}

class DiskTemporaryIndexTest : public testing::TableTest {
 protected:
  void Insert(int64_t n) {
    MemoryRecord record = NewRecord(*table_, *session_);
    SetInt(*table_, record, "n", n);
    ASSERT_TRUE(table_->InsertRecord(*session_, record.data()).Succeeded());
  }
};

TEST_F(DiskTemporaryIndexTest, ARollbackOrAWriteItMissedMakesItStaleAndTheNextRequestRebuildsIt) {
  CreateTable("t", {Field("n", C::Integer)});
  OpenTable("t");
  for (int i = 0; i < 1000; ++i) Insert(i);
  TABSIndexDef* index = IndexForOrdering(*table_, 0, {"n"}, {"DESC"}, {""});
  EXPECT_EQ(InIndexOrder(*table_, *index), Descending(0, 999));
  EXPECT_GT(TemporaryPagesInUse(*table_), 1);
  // Rows of a transaction that is rolled back: kept in the index while the
  // transaction lasts, and the index is stale after the rollback.
  db_->StartTransaction(0);
  for (int i = 1000; i < 1050; ++i) Insert(i);
  EXPECT_EQ(InIndexOrder(*table_, *index), Descending(0, 1049));
  db_->RollbackTransaction(0);
  EXPECT_LT(index->RootPage(), 0);
  EXPECT_EQ(IndexForOrdering(*table_, 0, {"n"}, {"DESC"}, {""}), index);
  EXPECT_EQ(InIndexOrder(*table_, *index), Descending(0, 999));
  // A write the index did not see (another process's, say): the counters
  // differ, and the request rebuilds it.
  index->SetChangeCounter(index->ChangeCounter() - 1);
  IndexForOrdering(*table_, 0, {"n"}, {"DESC"}, {""});
  EXPECT_EQ(index->ChangeCounter(), table_->ChangeCounter());
  EXPECT_EQ(InIndexOrder(*table_, *index), Descending(0, 999));
  // Never written to the file; gone after the last close.
  Reopen("t");
  EXPECT_EQ(table_->Metadata().Indexes().Count(), 0);
  ExpectClean(Path());
}

}  // namespace
}  // namespace kelvorin
