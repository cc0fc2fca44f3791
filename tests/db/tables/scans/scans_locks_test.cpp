// Scans between processes: a cursor sees what another process committed
// (its bitmap is rebuilt from the table's state as it is now), and a read
// that cannot have the table's read lock raises "Table is locked" instead
// of reporting no record.
#include <gtest/gtest.h>

#include "db/query/parser/expression.h"
#include "db/tables/scans/table_scans.h"
#include "tests/db/storage/locks/lock_test_util.h"

namespace kelvorin {
namespace {

using testing::ErrorOf;
using testing::LockTest;

constexpr TABSLockWait kOnce{10, 1};

TEST_F(LockTest, ScansSeeOtherProcessesAndReadUnderTheReadLock) {
  CreateLockFile(3);
  const auto a = OpenMultiUser(1);
  const auto b = OpenMultiUser(1);
  TABSScanCursor reader(*a->sessions[0], "alfa");
  a->db->OpenTable(reader);
  TABSCursor writer(*b->sessions[0], "alfa");
  TABSDiskTableData* written = b->db->OpenTable(writer);
  TABSExpression filter;
  filter.ParseForFilter(&reader, "n = 1", false, false);
  reader.SetFilter(&filter);
  EXPECT_EQ(TABSTableScans::RecordCount(reader), 0);

  const int32_t session = b->sessions[0]->SessionNumber();
  std::vector<uint8_t> record(static_cast<size_t>(written->RecordFields().MemorySize()));
  b->db->StartTransaction(session);
  for (int32_t n : {1, 2, 1}) {
    written->InitRecord(*b->sessions[0], record.data(), false);
    TABSVariant value;
    value.SetInteger(n);
    written->FieldManager().SetFieldValue(0, value, record.data());
    ASSERT_TRUE(written->InsertRecord(*b->sessions[0], record.data()).Succeeded());
  }
  b->db->CommitTransaction(session, false);
  EXPECT_EQ(TABSTableScans::RecordCount(reader), 2);
  ASSERT_EQ(TABSTableScans::GetRecord(reader, TABSGetRecordMode::kFirst), TABSGetRecordResult::kFound);

  ASSERT_TRUE(written->LockTable(session, TABSLockType::kWrite, kOnce));
  struct Case {
    const char* what;
    std::function<void()> read;
    int32_t code;
  };
  const std::vector<Case> cases{
      {"next", [&] { TABSTableScans::GetRecord(reader, TABSGetRecordMode::kNext); }, 20214},
      {"count", [&] { TABSTableScans::RecordCount(reader); }, 20215},
      {"number", [&] { TABSTableScans::RecordNumber(reader); }, 20216},
      {"go to", [&] { TABSTableScans::GoToRecordNumber(reader, 1); }, 20216},
      {"bitmap", [&] { TABSTableScans::BuildFilterBitmap(reader); }, 20219},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf(c.read), "Table is locked - Native error: " + std::to_string(c.code)) << c.what;
  }
  EXPECT_TRUE(reader.OnRecord()) << "a refused read leaves the cursor where it was";
  written->UnlockTable(session, TABSLockType::kWrite);
  EXPECT_EQ(TABSTableScans::RecordNumber(reader), 1);
  a->db->CloseTable(reader);
  b->db->CloseTable(writer);
}

}  // namespace
}  // namespace kelvorin
