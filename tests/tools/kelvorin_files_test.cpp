// kelvorin create / info / tables / check / locks, run as the built program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/storage/catalog/disk_database_data.h"
#include "db/tables/metadata/table_metadata.h"
#include "platform/locale_code_page.h"
#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;

class KelvorinFilesTest : public testing_support::ScratchDirTest {};

TEST_F(KelvorinFilesTest, CreateThenInfoPrintsTheHeader) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --page-size 1024 --extent 4").status, 0);
  EXPECT_EQ(std::filesystem::file_size("files.db"), 380u + 6 * 1024) << "the catalogue's pages";
  const auto info = RunProgram("kelvorin", "info files.db");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "signature: KELVORINDATABASE\nversion: 3.21\npage size: 1024\npages per extent: 4\n"
            "total pages: 6\nlast used page: 4\ncommit counter: 1\nstate: 2 (consistent)\n"
            "encrypted: no\ncipher: none\n");
  const auto check = RunProgram("kelvorin", "check files.db");
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, "no problems found\n");
}

TEST_F(KelvorinFilesTest, TablesListsNameObjectNumberAndRecordCount) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --connections 20").status, 0);
  EXPECT_EQ(RunProgram("kelvorin", "tables files.db").out, "name\tobject number\trecord count\n");
  {
    using namespace kelvorin;
    TABSDiskDatabaseData database("files.db", {});
    TABSBaseSession session;
    const TABSSessionConnection connection(database, session);
    for (const char* name : {"hraci", "Párování"}) {
      TABSTableMetadata metadata;
      TABSDatasetFieldDef field;
      field.name = "Kolo";
      field.type = TABSColumnType::Integer;
      metadata.DefineFields({field});
      database.CreateTable(platform::Utf8ToAnsi(name), metadata.Fields(), metadata.Indexes(),
                           metadata.Constraints());
    }
  }
  const auto tables = RunProgram("kelvorin", "tables files.db");
  EXPECT_EQ(tables.status, 0) << tables.err;
  EXPECT_EQ(tables.out, "name\tobject number\trecord count\nhraci\t1\t0\nPárování\t3\t0\n");
  const auto check = RunProgram("kelvorin", "check files.db");
  EXPECT_EQ(check.out, "no problems found\n");
  tools_test::WriteFile("files.db", tools_test::ReadFile("files.db").substr(0, 380 + 4 * 4096));
  const auto damaged = RunProgram("kelvorin", "tables files.db");
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("Native error"), std::string::npos) << damaged.err;
  EXPECT_EQ(RunProgram("kelvorin", "tables").status, 1);
}

TEST_F(KelvorinFilesTest, EncryptedFileNeedsItsPassword) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --password pw --cipher DES_Triple").status, 0);
  const auto info = RunProgram("kelvorin", "info files.db --password pw");
  EXPECT_NE(info.out.find("encrypted: yes\ncipher: DES_Triple\n"), std::string::npos) << info.out;
  const auto wrong = RunProgram("kelvorin", "info files.db --password nope");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "Cannot open database because incorrect password - Native error: 30445\n");
  EXPECT_EQ(RunProgram("kelvorin", "check files.db --password nope").status, 1);
}

// The locks this process holds, as another process finds them.
TEST_F(KelvorinFilesTest, LocksListsConnectedSlotsAndHeldLocks) {
  using namespace kelvorin;
  ASSERT_EQ(RunProgram("kelvorin", "create files.db --connections 5").status, 0);
  {
    TABSDiskDatabaseData database("files.db", {});
    TABSBaseSession session;
    const TABSSessionConnection connection(database, session);
    TABSTableMetadata metadata;
    TABSDatasetFieldDef field;
    field.name = "Kolo";
    field.type = TABSColumnType::Integer;
    metadata.DefineFields({field});
    database.CreateTable("hraci", metadata.Fields(), metadata.Indexes(), metadata.Constraints());
    TABSCursor cursor(session, "hraci");
    database.OpenTable(cursor);
    const auto single = RunProgram("kelvorin", "locks files.db");
    EXPECT_EQ(single.out, "slot\ttable\tlock\trecord\n*\t\tevery slot (single-user use, or no connection left)\t\n")
        << single.err;
    EXPECT_EQ(RunProgram("kelvorin", "tables files.db --multi-user").status, 1) << "the file is in single-user use";
    database.CloseTable(cursor);
  }
  TABSDiskDatabaseData database("files.db", {});
  TABSBaseSession first(true, false);
  TABSBaseSession second(true, false);
  const TABSSessionConnection first_connection(database, first);
  const TABSSessionConnection second_connection(database, second);
  TABSCursor cursor(first, "hraci");
  TABSDiskTableData* table = database.OpenTable(cursor);
  ASSERT_TRUE(table->LockTable(first.SessionNumber(), TABSLockType::kTransactionWrite, {10, 1}));
  ASSERT_TRUE(table->LockRecord(second.SessionNumber(), {9, 2}, {10, 1}));
  const auto locks = RunProgram("kelvorin", "locks files.db");
  EXPECT_EQ(locks.status, 0) << locks.err;
  EXPECT_EQ(locks.out,
            "slot\ttable\tlock\trecord\n0\t\tconnected\t\n1\t\tconnected\t\n"
            "0\thraci\tshared\t\n0\thraci\ttransaction write\t\n1\thraci\trecord\t9:2\n");
  const auto tables = RunProgram("kelvorin", "tables files.db --multi-user");
  EXPECT_EQ(tables.status, 0) << tables.err;
  EXPECT_EQ(tables.out, "name\tobject number\trecord count\nhraci\t1\t0\n");
  EXPECT_EQ(RunProgram("kelvorin", "check files.db --multi-user").out, "no problems found\n");
  table->UnlockTable(first.SessionNumber(), TABSLockType::kTransactionWrite);
  EXPECT_TRUE(table->UnlockRecord(second.SessionNumber(), {9, 2}));
  database.CloseTable(cursor);
}

TEST_F(KelvorinFilesTest, CheckReportsDamageAndBadArgumentsFail) {
  ASSERT_EQ(RunProgram("kelvorin", "create files.db").status, 0);
  tools_test::WriteFile("files.db", tools_test::ReadFile("files.db").substr(0, 100));
  const auto check = RunProgram("kelvorin", "check files.db");
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "corruption: the file is shorter than its headers\n");
  EXPECT_EQ(RunProgram("kelvorin", "create files.db --cipher Nope").status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "create files.db --page-size 12").status, 1);
  EXPECT_EQ(RunProgram("kelvorin", "info").status, 1);
}

}  // namespace
