// The table catalogue: a new database's pages and directory, creating,
// opening, renaming, emptying and deleting tables, names at the length
// limits, sessions in single- and multi-user mode, the list as other
// writers change it, and crafted catalogue files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db/storage/catalog/disk_database_data.h"
#include "db/storage/catalog/system_directory.h"
#include "platform/locale_code_page.h"
#include "tests/db/storage/catalog/catalog_test_util.h"
#include "tests/db/write_killer.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin {
namespace {

using testing::CatalogTest;
using testing::ErrorCode;
using testing::ErrorOf;
using testing::Field;
using testing::I32;

TEST_F(CatalogTest, NewDatabaseHasItsCatalogueOnPagesTwoToFour) {
  TABSDiskDatabaseData::CreateDatabase(Path(), {});
  const std::vector<uint8_t> bytes = ReadAll(Path());
  EXPECT_EQ(bytes.size(), 380u + 6 * 4096) << "six pages";
  const TABSDatabaseHeader header = TABSDatabaseHeader::Decode(bytes.data());
  EXPECT_EQ(header.total_page_count, 6);
  EXPECT_EQ(header.last_used_page, 4);
  const auto type_of = [&](int page) { return LoadU16(bytes.data() + 380 + page * 4096 + 8); };
  EXPECT_EQ(type_of(2), ptFileSystemDirectory);
  EXPECT_EQ(type_of(3), ptActiveSessionList);
  EXPECT_EQ(type_of(4), ptTableList);
  // The directory's content: {2, 3} then {1, 4}.
  const uint8_t* directory = bytes.data() + 380 + 2 * 4096 + 40;
  EXPECT_EQ(directory[0], 10);
  EXPECT_EQ(LoadI32(directory + 1), 10);
  const uint8_t expected[] = {2, 3, 0, 0, 0, 1, 4, 0, 0, 0};
  EXPECT_EQ(std::memcmp(directory + 10, expected, sizeof expected), 0);
  ExpectCatalogueClean(Path());
  Open();
  EXPECT_EQ(db_->MaxConnections(), 500);
  EXPECT_TRUE(db_->TableList().empty());
}

TEST_F(CatalogTest, ConnectionCountsOutsideTheRangeAreRefusedAtCreateAndOpen) {
  for (const int32_t count : {0, -1, 32768}) {
    TABSDatabaseFileSettings settings;
    settings.max_connections = count;
    EXPECT_EQ(ErrorOf([&] { TABSDiskDatabaseData::CreateDatabase(Path(), {}, settings); }),
              "Invalid number of allowed connections: " + std::to_string(count) +
                  ". It must lie between 1 and 32767 - Native error: 10706");
    EXPECT_FALSE(std::filesystem::exists(Path()));
  }
  struct Case {
    int32_t count;
    int32_t sessions_page;
    int32_t list_page;
  };
  for (const Case c : {Case{1, 3, 4}, Case{4046, 3, 4}, Case{4047, 3, 5}, Case{32767, 3, 12}}) {
    SCOPED_TRACE(c.count);
    TABSDatabaseFileSettings settings;
    settings.max_connections = c.count;
    TABSDiskDatabaseData::CreateDatabase(Path(), {}, settings);
    Open();
    EXPECT_EQ(db_->MaxConnections(), c.count);
    Close();
    const std::vector<uint8_t> bytes = ReadAll(Path());
    const uint8_t* directory = bytes.data() + 380 + 2 * 4096 + 40 + 10;
    EXPECT_EQ(LoadI32(directory + 1), c.sessions_page);
    EXPECT_EQ(LoadI32(directory + 6), c.list_page);
    ExpectCatalogueClean(Path());
  }
  // A sessions file claiming 0 slots opens no more than it could be created.
  TABSDiskDatabaseData::CreateDatabase(Path(), {});
  PatchPage(3, 41, I32(0));
  EXPECT_EQ(ErrorCode([&] { Open(); }), 10706);
  EXPECT_FALSE(db_->DiskPageManager().IsOpened()) << "a failed open closes what it opened";
}

TEST_F(CatalogTest, TablesAreListedInCreationOrderAndSurviveReopening) {
  CreateAndOpen();
  CreateTournamentTables();
  CreateTable("obrazky", {Field("id", TABSColumnType::Integer), Field("foto", TABSColumnType::Blob)});
  const TABSTableList list = db_->TableList();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].name, "hraci");
  EXPECT_EQ(list[3].name, "obrazky");
  Close();
  ExpectCatalogueClean(Path());
  Open();
  EXPECT_EQ(db_->TableList(), list);
  EXPECT_EQ(db_->GetTableNames(), (std::vector<std::string>{"hraci", "seskupeni", "param", "obrazky"}));
  TABSCursor hraci(*session_, "HRACI");
  TABSDiskTableData* table = db_->OpenTable(hraci);
  EXPECT_EQ(table->Name(), "hraci");
  EXPECT_EQ(table->ObjectId(), list[0].object_id);
  EXPECT_EQ(table->Metadata().Fields().Count(), 3);
  EXPECT_EQ(table->Metadata().Indexes().Count(), 1);
  EXPECT_GE(table->Metadata().Indexes().Items(0)->RootPage(), 0);
  EXPECT_GE(table->RecordPageIndexRoot(), 0);
  EXPECT_EQ(table->BlobPageIndexRoot(), -1) << "no BLOB fields";
  EXPECT_EQ(table->RecordsPerPage(), 134) << "30-byte records on 4096-byte pages";
  EXPECT_EQ(table->RecordCount(), 0);
  EXPECT_EQ(table->ChangeCounter(), 0);
  db_->CloseTable(hraci);
  EXPECT_EQ(db_->FindTableObject("hraci"), nullptr) << "the last cursor frees the table object";
  TABSCursor obrazky(*session_, "obrazky");
  EXPECT_GE(db_->OpenTable(obrazky)->BlobPageIndexRoot(), 0);
  db_->CloseTable(obrazky);
  TABSCursor missing(*session_, "nic");
  EXPECT_EQ(ErrorOf([&] { db_->OpenTable(missing); }), "Table 'nic' not exists. - Native error: 30396");
}

TEST_F(CatalogTest, EncryptedDatabaseKeepsItsCatalogue) {
  const TABSPassword password{"heslo", ciTwofish256};
  TABSDiskDatabaseData::CreateDatabase(Path(), password);
  {
    TABSDiskDatabaseData db(Path(), password);
    TABSBaseSession session;
    const TABSSessionConnection connection(db, session);
    const auto defs = Definitions({Field("Kolo", TABSColumnType::Integer), Field("foto", TABSColumnType::Blob)},
                                  {"Kolo"});
    db.CreateTable("param", defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  EXPECT_TRUE(CheckDatabaseCatalogue(Path(), password).Clean()) << CheckDatabaseCatalogue(Path(), password).Describe();
  EXPECT_EQ(ErrorCode([&] {
              TABSDiskDatabaseData db(Path(), {"jine", ciTwofish256});
              TABSBaseSession session;
              const TABSSessionConnection connection(db, session);
            }),
            30445);
  TABSDiskDatabaseData db(Path(), password);
  TABSBaseSession session;
  const TABSSessionConnection connection(db, session);
  TABSCursor cursor(session, "param");
  EXPECT_EQ(db.OpenTable(cursor)->Metadata().Fields().Count(), 2);
  db.CloseTable(cursor);
}

TEST_F(CatalogTest, NamesAreOneTo255BytesAndUniqueWithoutRegardToCase) {
  CreateAndOpen();
  const std::string longest(255, 'x');
  CreateTable(longest, {Field("a", TABSColumnType::Integer)});
  CreateTable(platform::Utf8ToAnsi("Hráči"), {Field("a", TABSColumnType::Integer)});
  struct Case {
    std::string name;
    std::string error;
  };
  const std::vector<Case> cases = {
      {std::string(256, 'x'), "Invalid table name '" + std::string(256, 'x') +
                                  "'. A table name has 1 to 255 characters - Native error: 10707"},
      {"", "Invalid table name ''. A table name has 1 to 255 characters - Native error: 10707"},
      {std::string(255, 'X'), "Cannot create table. Table '" + std::string(255, 'X') +
                                  "' already exists - Native error: 30395"},
      {"HRÁČI", "Cannot create table. Table 'HRÁČI' already exists - Native error: 30395"},
  };
  for (const Case& c : cases) {
    const std::string name = platform::Utf8ToAnsi(c.name);
    EXPECT_EQ(platform::AnsiToUtf8(ErrorOf([&] { CreateTable(name, {Field("a", TABSColumnType::Integer)}); })),
              c.error);
  }
  EXPECT_EQ(ErrorOf([&] { CreateTable("t", {}); }),
            "Error creating table - no fields were specified - Native error: 20128");
  EXPECT_EQ(db_->TableList().size(), 2u);
  Close();
  Open();
  EXPECT_EQ(db_->TableList()[0].name, longest);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(CatalogTest, RenameChangesCaseButNeverTakesAnotherTablesName) {
  CreateAndOpen();
  CreateTournamentTables();
  db_->RenameTable(*session_, "hraci", "HRACI");
  EXPECT_EQ(db_->TableList()[0].name, "HRACI");
  EXPECT_EQ(ErrorOf([&] { db_->RenameTable(*session_, "HRACI", "Seskupeni"); }),
            "Table Seskupeni already exists - Native error: 10708");
  EXPECT_EQ(ErrorOf([&] { db_->RenameTable(*session_, "nic", "neco"); }),
            "Table 'nic' not exists. - Native error: 30397");
  EXPECT_EQ(ErrorCode([&] { db_->RenameTable(*session_, "param", std::string(256, 'p')); }), 10707);
  TABSCursor open(*session_, "param");
  db_->OpenTable(open);
  EXPECT_EQ(ErrorOf([&] { db_->RenameTable(*session_, "param", "parametry"); }),
            "Cannot access table 'param' in exclusive mode. Probably the table is open by another cursors - "
            "Native error: 20242");
  db_->CloseTable(open);
  db_->RenameTable(*session_, "param", "parametry");
  EXPECT_EQ(db_->GetTableNames(), (std::vector<std::string>{"HRACI", "seskupeni", "parametry"}));
  ExpectCatalogueCleanAfterClose();
  Open();
  EXPECT_EQ(db_->GetTableNames(), (std::vector<std::string>{"HRACI", "seskupeni", "parametry"}));
}

TEST_F(CatalogTest, DeletingATableGivesBackEveryPage) {
  CreateAndOpen();
  const int32_t pages_before = db_->DiskPageManager().Header().last_used_page;
  CreateTournamentTables();
  CreateTable("obrazky", {Field("id", TABSColumnType::Integer), Field("foto", TABSColumnType::Blob)});
  for (const char* name : {"obrazky", "seskupeni", "HRACI", "param"}) db_->DeleteTable(*session_, name);
  EXPECT_TRUE(db_->TableList().empty());
  EXPECT_EQ(db_->DiskPageManager().Header().last_used_page, pages_before);
  EXPECT_EQ(ErrorOf([&] { db_->DeleteTable(*session_, "hraci"); }), "Table 'hraci' not exists. - Native error: 30405");
  CreateTournamentTables();
  TABSCursor open(*session_, "param");
  db_->OpenTable(open);
  EXPECT_EQ(ErrorCode([&] { db_->DeleteTable(*session_, "param"); }), 20242);
  db_->CloseTable(open);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(CatalogTest, EmptyingRaisesTheChangeCounterAndIsRefusedInATransaction) {
  CreateAndOpen();
  CreateTournamentTables();
  TABSCursor cursor(*session_, "hraci");
  TABSDiskTableData* table = db_->OpenTable(cursor);
  db_->EmptyTable(cursor);
  db_->EmptyTable(cursor);
  EXPECT_EQ(table->ChangeCounter(), 2) << "a version stamp never goes back";
  EXPECT_EQ(table->RecordCount(), 0);
  db_->StartTransaction(session_->SessionNumber());
  EXPECT_EQ(ErrorOf([&] { db_->EmptyTable(cursor); }),
            "Cannot perform 'EmptyTable' operation on a database in transaction - Native error: 10709");
  db_->RollbackTransaction(session_->SessionNumber());
  EXPECT_FALSE(db_->InTransaction(session_->SessionNumber()));
  TABSCursor other(*session_, "hraci");
  db_->OpenTable(other);
  EXPECT_EQ(ErrorCode([&] { db_->EmptyTable(cursor); }), 20242);
  db_->CloseTable(other);
  db_->CloseTable(cursor);
  // A cursor that has not opened the table opens it for the call.
  TABSCursor maintenance(*session_, "hraci");
  db_->EmptyTable(maintenance);
  EXPECT_EQ(maintenance.Table(), nullptr);
  db_->OpenTable(cursor);
  EXPECT_EQ(cursor.Table()->ChangeCounter(), 3) << "read back from the file";
  db_->CloseTable(cursor);
  ExpectCatalogueCleanAfterClose();
}

TEST_F(CatalogTest, RollbackRereadsTheStateOfOpenTables) {
  CreateAndOpen();
  CreateTournamentTables();
  TABSCursor cursor(*session_, "param");
  auto* table = db_->OpenTable(cursor);
  table->EmptyTable(0);
  EXPECT_EQ(table->ChangeCounter(), 1);
  db_->RollbackTransaction(0);
  EXPECT_EQ(table->ChangeCounter(), 0);
  db_->CloseTable(cursor);
}

// An index whose key layout cannot be used is refused when the table is
// created (before any page is taken) and when it is opened.
TEST_F(CatalogTest, UnusableIndexLayoutsAreRefusedAtCreateAndOpen) {
  CreateAndOpen();
  const int32_t last_used = db_->DiskPageManager().Header().last_used_page;
  auto defs = Definitions({Field("Jmeno", TABSColumnType::String, 20)}, {"Jmeno"});
  defs->Indexes().Items(0)->Columns()[0].max_indexed_size = 0;
  const int32_t code = ErrorCode([&] { db_->CreateTable("t", defs->Fields(), defs->Indexes(), defs->Constraints()); });
  EXPECT_NE(code, 0);
  EXPECT_TRUE(db_->TableList().empty());
  EXPECT_EQ(db_->DiskPageManager().Header().last_used_page, last_used);
  defs->Indexes().Items(0)->Columns()[0].max_indexed_size = 20;
  db_->CreateTable("t", defs->Fields(), defs->Indexes(), defs->Constraints());
  {
    TABSCursor cursor(*session_, "t");
    TABSDiskTableData* table = db_->OpenTable(cursor);
    table->Metadata().Indexes().Items(0)->Columns()[0].max_indexed_size = 0;
    db_->RestructureTable(*table);
    db_->CloseTable(cursor);
  }
  TABSCursor cursor(*session_, "t");
  EXPECT_EQ(ErrorCode([&] { db_->OpenTable(cursor); }), code);
  Close();
  EXPECT_TRUE(CheckDatabaseCatalogue(Path()).HasCorruption());
}

TEST_F(CatalogTest, RestructureWritesTheDefinitionsOrKeepsTheFilesOnes) {
  CreateAndOpen();
  CreateTournamentTables();
  TABSCursor cursor(*session_, "param");
  TABSDiskTableData* table = db_->OpenTable(cursor);
  table->Metadata().RenameField("Kolo", "Round");
  {
    testing::WriteFaults faults(Path());
    faults.fail_at = 1;
    EXPECT_EQ(ErrorCode([&] { db_->RestructureTable(*table); }), 99999);
  }
  EXPECT_EQ(table->Metadata().Fields().Items(0)->Name(), "Kolo") << "reread from the file";
  table->Metadata().RenameField("Kolo", "Round");
  db_->RestructureTable(*table);
  db_->CloseTable(cursor);
  Open();
  TABSCursor again(*session_, "param");
  EXPECT_EQ(db_->OpenTable(again)->Metadata().Fields().Items(0)->Name(), "Round");
  db_->CloseTable(again);
  ExpectCatalogueCleanAfterClose();
}

// The flush flag adds a flush of the file after the commit's own writes.
TEST_F(CatalogTest, CommitFlushesOnlyWhenAsked) {
  CreateAndOpen();
  CreateTournamentTables();
  TABSCursor cursor(*session_, "param");
  TABSDiskTableData* table = db_->OpenTable(cursor);
  int syncs[2] = {0, 0};
  for (const bool flush : {false, true}) {
    testing::WriteFaults observer(Path());
    table->EmptyTable(0);
    db_->CommitTransaction(0, flush);
    syncs[flush] = observer.syncs;
  }
  EXPECT_EQ(syncs[1], syncs[0] + 1);
  db_->CloseTable(cursor);
}

TEST_F(CatalogTest, ExclusiveCursorsAndSessionModes) {
  CreateAndOpen();
  CreateTournamentTables();
  TABSCursor shared(*session_, "param");
  TABSCursor exclusive(*session_, "param", true);
  db_->OpenTable(shared);
  EXPECT_EQ(ErrorCode([&] { db_->OpenTable(exclusive); }), 20242);
  db_->CloseTable(shared);
  db_->OpenTable(exclusive);
  db_->CloseTable(exclusive);
  TABSBaseSession multi(true, false);
  EXPECT_EQ(ErrorOf([&] { db_->ConnectSession(multi); }),
            "Cannot open database in multi-user and signle-user mode at the same time - Native error: 20235");
  TABSBaseSession second;
  db_->ConnectSession(second);
  EXPECT_EQ(second.SessionNumber(), 0) << "single-user sessions share number 0";
  db_->DisconnectSession(second);
  EXPECT_TRUE(db_->DiskPageManager().IsOpened());
  // A second user of the file in single-user mode may only read it.
  TABSDiskDatabaseData reader(Path(), {});
  TABSBaseSession reading;
  reader.ConnectSession(reading);
  EXPECT_TRUE(reader.ReadOnly());
  EXPECT_EQ(ErrorOf([&] { reader.CreateTable("t", *Fields({Field("a", TABSColumnType::Integer)}), {}, {}); }),
            "Cannot perform 'CreateTable' operation on a read-only database - Native error: 10714");
  // ... and sees what the writer commits.
  CreateTable("nova", {Field("a", TABSColumnType::Integer)});
  EXPECT_EQ(reader.GetTableNames().back(), "nova");
  reader.DisconnectSession(reading);
  db_->DisconnectSession(*session_);
  EXPECT_FALSE(db_->DiskPageManager().IsOpened()) << "the last session closes the file";
}

TEST_F(CatalogTest, MultiUserSessionsTakeSlotsAndSeeEachOthersTables) {
  TABSDatabaseFileSettings settings;
  settings.max_connections = 2;
  TABSDiskDatabaseData::CreateDatabase(Path(), {}, settings);
  TABSDiskDatabaseData a(Path(), {}), b(Path(), {});
  TABSBaseSession a1(true, false), a2(true, false), b1(true, false);
  a.ConnectSession(a1);
  a.ConnectSession(a2);
  EXPECT_EQ(a1.SessionNumber(), 0);
  EXPECT_EQ(a2.SessionNumber(), 1);
  EXPECT_EQ(ErrorOf([&] { b.ConnectSession(b1); }),
            "Cannot connect session. Maximum connections quantity exceeded or database is open in single-user "
            "mode - Native error: 20094");
  EXPECT_FALSE(b.DiskPageManager().IsOpened());
  a.DisconnectSession(a2);
  b.ConnectSession(b1);
  EXPECT_EQ(b1.SessionNumber(), 1);
  const auto fields = Fields({Field("a", TABSColumnType::Integer)});
  a.CreateTable("jedna", *fields, {}, {});
  b.CreateTable("dva", *fields, {}, {});
  EXPECT_EQ(a.GetTableNames(), (std::vector<std::string>{"jedna", "dva"})) << "b's table is not dropped by a";
  a.CreateTable("tri", *fields, {}, {});
  b.DeleteTable(b1, "jedna");
  EXPECT_EQ(ErrorCode([&] { a.RenameTable(a1, "tri", "dva"); }), 10708);
  a.RenameTable(a1, "tri", "ctyri");
  EXPECT_EQ(b.GetTableNames(), (std::vector<std::string>{"dva", "ctyri"}));
  TABSCursor cursor(a1, "dva");
  EXPECT_EQ(a.OpenTable(cursor)->Name(), "dva");
  a.CloseTable(cursor);
  a.DisconnectSession(a1);
  b.DisconnectSession(b1);
  ExpectCatalogueClean(Path());
}

// Catalogue files changed on disk: opening the database or the table gives an
// engine error, never a crash or a huge allocation.
TEST_F(CatalogTest, CraftedCatalogueFilesGiveEngineErrors) {
  CreateAndOpen();
  CreateTournamentTables();
  const TABSTableListEntry param = db_->TableList()[2];
  Close();
  const std::vector<uint8_t> original = ReadAll(Path());
  struct Case {
    std::string name;
    int32_t page;
    int32_t offset;
    std::vector<uint8_t> bytes;
    int32_t open_code;   // of opening the database
    int32_t table_code;  // of opening param (when the database opens)
  };
  const int32_t content = 40 + 10;
  // A plain file's stored and uncompressed sizes agree.
  const auto sizes = [](int32_t size) {
    std::vector<uint8_t> both = I32(size);
    const std::vector<uint8_t> again = I32(size);
    both.insert(both.end(), again.begin(), again.end());
    return both;
  };
  const std::vector<Case> cases = {
      {"directory size not a multiple of 5", 2, 41, sizes(9), 10705, 0},
      {"directory without a table list", 2, content + 5, {9}, 10710, 0},
      {"directory without a sessions file", 2, content, {9}, 10710, 0},
      {"table list size not a multiple of 272", 4, 41, sizes(3 * 272 - 1), 10704, 0},
      {"table list entry with an empty name", 4, content + 272, {0}, 10711, 0},
      {"directory header size 0", 2, 40, {0}, 10701, 0},
      {"metadata header size 0", param.metadata_page, 40, {0}, 0, 10701},
      {"metadata stream damaged", param.metadata_page, content + 4, {0xDE, 0xAD, 0xBE, 0xEF}, 0, 20189},
      {"metadata file emptied", param.metadata_page, 41, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, 10610},
      {"state longer than its table allows", param.most_updated_page, 41, sizes(200), 0, 20164},
      {"state of another field count", param.most_updated_page, content, I32(2), 0, 10712},
      {"state with a negative record count", param.most_updated_page, content + 16, I32(-1), 0, 10712},
      {"locks file of another size", param.locks_page, 41, I32(5999), 0, 10780},
      {"locks file of another type", param.locks_page, 8, {ptTableList, 0}, 0, 20155},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = original;
    std::memcpy(bytes.data() + 380 + int64_t{c.page} * 4096 + c.offset, c.bytes.data(), c.bytes.size());
    WriteAll(Path(), bytes);
    EXPECT_EQ(ErrorCode([&] { Open(); }), c.open_code);
    if (c.open_code != 0) continue;
    TABSCursor cursor(*session_, "param");
    EXPECT_EQ(ErrorCode([&] { db_->OpenTable(cursor); }), c.table_code);
    EXPECT_EQ(db_->FindTableObject("param"), nullptr);
    EXPECT_FALSE(db_->DiskPageManager().TableListLocked());
    Close();
  }
}

}  // namespace
}  // namespace kelvorin

namespace kelvorin {
namespace {

using testing::CatalogTest;
using testing::ErrorCode;
using testing::Field;
using testing::I32;
using testing::CountWrites;
using testing::EveryWrite;
using testing::KillAtWrites;

// The checker reaches every page in use from the catalogue: what it cannot
// reach is a leak, what it reaches twice or finds of the wrong kind damage.
TEST_F(CatalogTest, CheckerFindsLeaksAndDamageOfTheCatalogue) {
  CreateAndOpen();
  CreateTournamentTables();
  const TABSTableList list = db_->TableList();
  int32_t record_root = -1;
  {
    TABSCursor cursor(*session_, "param");
    record_root = db_->OpenTable(cursor)->RecordPageIndexRoot();
    db_->CloseTable(cursor);
  }
  // A committed page nobody refers to.
  TABSDiskPageManager& pages = db_->DiskPageManager();
  TABSPage* orphan = pages.AddPage(0, ptTableRecord);
  const int32_t orphan_no = orphan->PageNo();
  pages.PutPage(orphan);
  db_->CommitTransaction(0, false);
  Close();
  const TABSIntegrityReport leak = CheckDatabaseCatalogue(Path());
  EXPECT_FALSE(leak.HasCorruption()) << leak.Describe();
  ASSERT_EQ(leak.LeakCount(), 1) << leak.Describe();
  EXPECT_EQ(leak.problems[0].page_no, orphan_no);

  const std::vector<uint8_t> original = ReadAll(Path());
  struct Case {
    std::string name;
    int32_t page;
    int32_t offset;
    std::vector<uint8_t> bytes;
    std::string expected;  // part of a corruption report
  };
  const TABSTableListEntry& hraci = list[0];
  const TABSTableListEntry& param = list[2];
  const std::vector<Case> cases = {
      {"two tables share a metadata file", 4, 40 + 10 + 2 * 272 + 260, I32(hraci.metadata_page), "and again by"},
      {"a metadata chain runs into a page of another type", param.metadata_page, 10, I32(record_root),
       "page type 12 in a chain of type 8"},
      {"a most-updated file longer than its size", param.most_updated_page, 10, I32(orphan_no),
       "page type 10 in a chain of type 9"},
      {"a table list entry pointing at a free page", 4, 40 + 10 + 2 * 272 + 264, I32(orphan_no + 50),
       "outside the file"},
      {"a record-page index root that is no index page", record_root, 8, {ptTableRecord, 0},
       "record-page index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = original;
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + 380 + int64_t{c.page} * 4096 + c.offset);
    WriteAll(Path(), bytes);
    const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
    EXPECT_TRUE(report.HasCorruption()) << report.Describe();
    EXPECT_NE(report.Describe().find(c.expected), std::string::npos) << report.Describe();
  }
}

// A process killed while creating a table may leave pages it took marked
// used: pages a deleted table gave back still hold that table's links, which
// make leaks, not damage.
TEST_F(CatalogTest, KilledWhileTakingFreedPagesLeavesLeaksOnly) {
  CreateAndOpen();
  CreateTournamentTables();
  db_->DeleteTable(*session_, "hraci");
  Close();
  db_.reset();
  const std::vector<uint8_t> original = ReadAll(Path());
  const auto create = [&] {
    Open();
    CreateTable("nova", {Field("Jmeno", TABSColumnType::String, 20), Field("id", TABSColumnType::AutoInc)}, {"id"});
  };
  const auto reset = [&] {
    WriteAll(Path(), original);
    std::filesystem::remove(Path() + "-journal");
  };
  const auto work = [&] {
    create();
    Close();
    db_.reset();
  };
  const int total = CountWrites(work);
  ASSERT_GT(total, 5);
  KillAtWrites(
      EveryWrite(total), reset, work,
      [&] {
        Open();  // rolls back what the killed commit wrote
        Close();
        db_.reset();
        const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
        EXPECT_FALSE(report.HasCorruption()) << report.Describe();
      });
}

// A table whose trees are damaged cannot be emptied or deleted, and trying
// changes nothing.
TEST_F(CatalogTest, DamagedTreesRefuseEmptyingAndDeletingWithoutChange) {
  CreateAndOpen();
  CreateTournamentTables();
  int32_t record_root = -1;
  {
    TABSCursor cursor(*session_, "hraci");
    record_root = db_->OpenTable(cursor)->RecordPageIndexRoot();
    db_->CloseTable(cursor);
  }
  PatchPage(record_root, 40 + 14, {0xFF, 0x7F});  // an entry count beyond the page
  const std::vector<uint8_t> damaged = ReadAll(Path());
  Open();
  TABSCursor cursor(*session_, "hraci");
  EXPECT_NE(ErrorCode([&] { db_->EmptyTable(cursor); }), 0);
  EXPECT_NE(ErrorCode([&] { db_->DeleteTable(*session_, "hraci"); }), 0);
  EXPECT_EQ(db_->GetTableNames().size(), 3u);
  EXPECT_FALSE(db_->DiskPageManager().TableListLocked());
  Close();
  EXPECT_EQ(ReadAll(Path()), damaged) << "nothing was written";
}

}  // namespace
}  // namespace kelvorin
