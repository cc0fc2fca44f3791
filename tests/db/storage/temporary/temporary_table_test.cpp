// Temporary tables of the TEMP database: appended through the table's
// posts and read back with their BLOB values, never updated or deleted,
// freed with their last cursor, and freed during an error with every
// memory block, budget byte and file descriptor given back.
#include <gtest/gtest.h>

#include "db/storage/streams/memory_stream.h"
#include "tests/db/storage/temporary/volatile_test_util.h"

namespace kelvorin {
namespace {

using testing::Field;
using testing::MemoryRecord;
using testing::NewRecord;
using testing::Scan;
using testing::SetInt;
using testing::SetText;
using testing::Text;
using C = TABSColumnType;

class TemporaryTableTest : public testing::VolatileTableTest {
 protected:
  TABSTemporaryTableData& CreateResult(const std::string& name) {
    TABSDatasetFieldDef blob = Field("b", C::Memo);
    return CreateTemporary(name, {Field("n", C::Integer), Field("s", C::String, 40), blob}, {"n"});
  }
  static void Append(TABSTemporaryTableData& table, TABSBaseSession& session, int64_t n) {
    MemoryRecord record = NewRecord(table, session);
    SetInt(table, record, "n", n);
    SetText(table, record, "s", "row " + std::to_string(n));
    const std::string text = "memo of row " + std::to_string(n);
    const int32_t field = table.Metadata().Fields().IndexOfName("b");
    table.BlobManager()->WriteValue(record.data(), field, text.data(), static_cast<int64_t>(text.size()));
    const TABSPostResult result = table.InsertRecord(session, record.data());
    table.BlobManager()->ReleaseDescriptors(record.data());
    if (!result.Succeeded()) throw EABSException(native::kErrorWritingToStream10125);
  }
  static std::string Memo(TABSTableData& table, MemoryRecord& record, int32_t session) {
    TABSMemoryStream value;
    table.BlobManager()->ReadValue(session, record.data(), table.Metadata().Fields().IndexOfName("b"), value);
    return std::string(reinterpret_cast<const char*>(value.Memory()), static_cast<size_t>(value.Size()));
  }
};

TEST_F(TemporaryTableTest, ResultsAreAppendedAndReadBackWithTheirBlobValues) {
  TABSTemporaryTableData& table = CreateResult("TEMPORARY_TABLE_1");
  table.TemporaryRecords().SetMemoryRecordLimit(10);
  for (int i = 0; i < 300; ++i) Append(table, *session_, 299 - i);
  EXPECT_TRUE(table.TemporaryRecords().Spilled());
  int64_t expected = 299;
  for (auto& r : Scan(table, Session())) {
    EXPECT_EQ(Text(table, r.record, "n"), std::to_string(expected));
    EXPECT_EQ(Memo(table, r.record, Session()), "memo of row " + std::to_string(expected));
    --expected;
  }
  EXPECT_EQ(expected, -1);
  testing::ExpectIndexesListTheRecords(table, Session());
  // Filled once: updates and deletes are refused by the record manager.
  MemoryRecord record = Scan(table, Session()).front().record;
  const TABSRecordId id = Scan(table, Session()).front().id;
  EXPECT_EQ(table.UpdateRecord(*session_, id, record.data(), nullptr).code, TABSPostCode::kUpdateFailed);
  EXPECT_EQ(table.DeleteRecord(*session_, id, nullptr).code, TABSPostCode::kDeleteFailed);
  EXPECT_EQ(table.RecordCount(), 300);
  testing::ExpectIndexesListTheRecords(table, Session());
}

TEST_F(TemporaryTableTest, TheLastCursorFreesTheTable) {
  const int64_t budget = TemporaryBudget().Used();
  const int64_t allocated = MemoryManager().AllocatedBytes();
  TABSTemporaryTableData& table = CreateResult("TEMPORARY_TABLE_2");
  for (int i = 0; i < 50; ++i) Append(table, *session_, i);
  TABSCursor second(*session_, "temporary_table_2");
  TemporaryDatabase().OpenTable(second);
  CloseCursor(CursorOf(table));
  ASSERT_NE(TemporaryDatabase().FindTable("TEMPORARY_TABLE_2"), nullptr) << "one cursor is left";
  EXPECT_EQ(Scan(*second.Table(), Session()).size(), 50u);
  TemporaryDatabase().CloseTable(second);
  EXPECT_EQ(TemporaryDatabase().FindTable("TEMPORARY_TABLE_2"), nullptr);
  EXPECT_EQ(TemporaryBudget().Used(), budget);
  EXPECT_EQ(MemoryManager().AllocatedBytes(), allocated);
  EXPECT_EQ(testing::ErrorCode([&] { TemporaryDatabase().OpenTable(second); }), 30396);
}

TEST_F(TemporaryTableTest, TablesAreCreatedOnlyWithAFreeValidNameAndFields) {
  CreateResult("T");
  TABSCursor cursor(*session_, "t");
  const auto defs = Definitions({Field("n", C::Integer)});
  EXPECT_EQ(testing::ErrorCode([&] {
              TemporaryDatabase().CreateTable(cursor, defs->Fields(), defs->Indexes(), defs->Constraints());
            }),
            30395);
  TABSCursor unnamed(*session_, "");
  EXPECT_EQ(testing::ErrorCode([&] {
              TemporaryDatabase().CreateTable(unnamed, defs->Fields(), defs->Indexes(), defs->Constraints());
            }),
            10791);
  TABSCursor empty(*session_, "E");
  const auto none = Definitions({});
  EXPECT_EQ(testing::ErrorCode([&] {
              TemporaryDatabase().CreateTable(empty, none->Fields(), none->Indexes(), none->Constraints());
            }),
            20128);
  const int32_t first = TemporaryDatabase().NextObjectNumber();
  EXPECT_EQ(TemporaryDatabase().NextObjectNumber(), first + 1);
}

// Closes the cursor when it goes, as a statement's cleanup does while an
// error unwinds it.
struct CursorGuard {
  TABSCursor& cursor;
  ~CursorGuard() {
    try {
      TemporaryDatabase().CloseTable(cursor);
    } catch (...) {
      ADD_FAILURE() << "freeing the table raised";
    }
  }
};

TEST_F(TemporaryTableTest, ASpilledTableFreedDuringAnErrorGivesEverythingBack) {
  const int64_t allocated = MemoryManager().AllocatedBytes();
  const int64_t budget = TemporaryBudget().Used();
  const int files = testing::OpenFileCount();
  // Records, index pages and BLOB values all spill to their files.
  TemporaryBudget().SetLimit(budget + 64 * 1024);
  TABSCursor cursor(*session_, "TEMPORARY_TABLE_3");
  const auto defs = Definitions({Field("n", C::Integer), Field("s", C::String, 200), Field("b", C::Memo)}, {"s"});
  int appended = 0;
  try {
    TABSTemporaryTableData* table =
        TemporaryDatabase().CreateTable(cursor, defs->Fields(), defs->Indexes(), defs->Constraints());
    CursorGuard guard{cursor};
    for (;; ++appended) {
      if (appended == 3000) MemoryManager().SetMemoryLimit(MemoryManager().AllocatedBytes() + 2048);
      MemoryRecord record = NewRecord(*table, *session_);
      SetInt(*table, record, "n", appended);
      SetText(*table, record, "s", std::string(150, static_cast<char>('a' + appended % 26)) + std::to_string(appended));
      const std::string text(5000, static_cast<char>('A' + appended % 26));
      table->BlobManager()->WriteValue(record.data(), 2, text.data(), static_cast<int64_t>(text.size()));
      const TABSPostResult result = table->InsertRecord(*session_, record.data());
      table->BlobManager()->ReleaseDescriptors(record.data());
      if (!result.Succeeded()) throw EABSException(native::kErrorWritingToStream10125);
      if (appended == 2000) {
        EXPECT_TRUE(table->TemporaryRecords().Spilled());
        EXPECT_TRUE(table->TablePages().HasFile());
        EXPECT_GT(table->TemporaryBlobs()->StreamSize(), TABSTemporaryStream::kMemoryLimit);
        EXPECT_GT(testing::OpenFileCount(), files);
      }
    }
  } catch (const EABSException&) {
    MemoryManager().SetMemoryLimit(0);
  }
  EXPECT_GE(appended, 3000);
  EXPECT_EQ(TemporaryDatabase().FindTable("TEMPORARY_TABLE_3"), nullptr);
  EXPECT_EQ(MemoryManager().AllocatedBytes(), allocated);
  EXPECT_EQ(TemporaryBudget().Used(), budget);
  EXPECT_EQ(testing::OpenFileCount(), files);
}

}  // namespace
}  // namespace kelvorin
