// SELECT INTO killed at random moments: afterwards the target's name holds
// no table or the whole result, never a part of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "db/access/query/select_into.h"
#include "db/query/operators/row_table.h"
#include "db/query/sql/sql_processor.h"
#include "db/storage/catalog/disk_database_data.h"
#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/kill_after.h"

namespace kelvorin::testing {
namespace {

constexpr int32_t kRows = 8000;

class SelectIntoKillTest : public CatalogTest {
 protected:
  TABSSessionSettings Settings() const {
    TABSSessionSettings settings;
    settings.file_name = Path();
    return settings;
  }

  void MakeSource() {
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, {});
    TABSOpenDatabases list;
    TABSLocalSession session(Settings(), list);
    session.Connect();
    TABSLocalCursor cursor(session, "zdroj");
    const auto defs = Definitions({Field("id", TABSColumnType::Integer), Field("s", TABSColumnType::String, 30)});
    cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
    cursor.Open();
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.BeginBatch();
    for (int32_t i = 0; i < kRows; ++i) {
      cursor.InitRecordBuffer(buffer.data(), false);
      TABSVariant id;
      id.SetInteger(i);
      cursor.OpenTable().FieldManager().SetFieldValue(0, id, buffer.data());
      TABSVariant text(TABSStorageType::String);
      text.SetString("radek cislo " + std::to_string(i));
      cursor.OpenTable().FieldManager().SetFieldValue(1, text, buffer.data());
      ASSERT_TRUE(cursor.Post(buffer.data(), true));
    }
    cursor.CommitBatch();
  }

  // Runs the statement in a child process and kills it after `delay_ms`.
  void RunAndKill(int delay_ms) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int status = 0;
      try {
        TABSOpenDatabases list;
        TABSLocalSession session(Settings(), list);
        session.Connect();
        TABSSQLQueryContext context;
        context.session = &session;
        context.copy_into = CopyIntoNewTable;
        TABSSQLProcessor processor(context);
        processor.SetSQL("SELECT id, s INTO kopie FROM zdroj WHERE id >= 0");
        processor.Run(false);
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
    const int status = testing_support::WaitOrKill(child, child, delay_ms);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
  }

  // The rows under the target's name, or -1 when there is no such table.
  int64_t TargetRows() {
    TABSOpenDatabases list;
    TABSLocalSession session(Settings(), list);
    session.Connect();
    if (!session.TableExists("kopie")) return -1;
    TABSLocalCursor cursor(session, "kopie");
    cursor.Open();
    return cursor.RecordCount();
  }
};

TEST_F(SelectIntoKillTest, TheNameHoldsNothingOrTheWholeResult) {
  MakeSource();
  // One whole run first, to spread the kills over its length.
  const auto start = std::chrono::steady_clock::now();
  RunAndKill(60000);
  const int whole_ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  ASSERT_EQ(TargetRows(), kRows);
  {
    TABSOpenDatabases list;
    TABSLocalSession session(Settings(), list);
    session.Connect();
    TABSLocalCursor(session, "kopie").DeleteTable();
  }
  std::mt19937 rng(17);
  int complete = 0;
  for (int round = 0; round < 8; ++round) {
    const int delay = std::uniform_int_distribution<int>(0, whole_ms)(rng);
    SCOPED_TRACE(delay);
    RunAndKill(delay);
    const int64_t rows = TargetRows();
    EXPECT_TRUE(rows == -1 || rows == kRows) << rows;
    if (rows == kRows) {
      ++complete;
      TABSOpenDatabases list;
      TABSLocalSession session(Settings(), list);
      session.Connect();
      TABSLocalCursor(session, "kopie").DeleteTable();
    }
  }
  RecordProperty("complete_runs", complete);
}

}  // namespace
}  // namespace kelvorin::testing
