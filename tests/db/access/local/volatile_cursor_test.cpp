// Cursors on the process's "MEMORY" and "TEMP" databases: the aliases,
// tables created on open, the maintenance of memory tables, temporary
// tables refusing edits and going with their last cursor, and records
// that no transaction takes back.
#include "db/access/local/access_errors.h"
#include "db/storage/temporary/memory_database_data.h"
#include "db/storage/temporary/temporary_database_data.h"
#include "tests/db/access/local/local_test_util.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;

class VolatileCursorTest : public LocalAccessTest {
 protected:
  void SetUp() override {
    LocalAccessTest::SetUp();
    TABSDatasetFieldDef body = Field("Body", C::Integer);
    body.default_value.SetInteger(5);
    defs_ = Definitions({Field("id", C::AutoInc), Field("Jmeno", C::String, 20), body, Field("Foto", C::Blob)},
                        {"id", "Body"});
  }
  void TearDown() override {
    sessions_.clear();
    // The memory database outlives the test: what it made goes.
    for (const std::string& name : MemoryDatabase().GetTableNames()) MemoryDatabase().DeleteTable(name);
    EXPECT_TRUE(TemporaryDatabase().GetTableNames().empty()) << "a temporary table outlived its cursors";
    LocalAccessTest::TearDown();
  }

  std::unique_ptr<TABSLocalCursor> Cursor(TABSLocalSession& session, const std::string& table, bool create) {
    TABSCursorOptions options;
    options.create_missing = create;
    auto cursor = std::make_unique<TABSLocalCursor>(session, table, options);
    cursor->SetTableDefinitions(defs_->Fields(), defs_->Indexes(), defs_->Constraints());
    return cursor;
  }
  std::unique_ptr<TABSLocalCursor> Opened(TABSLocalSession& session, const std::string& table) {
    auto cursor = Cursor(session, table, true);
    cursor->Open();
    return cursor;
  }
  // The names of the cursor's records from first to last.
  std::vector<std::string> Names(TABSLocalCursor& cursor) {
    std::vector<std::string> names;
    std::vector<uint8_t> buffer = cursor.NewRecordBuffer();
    cursor.First();
    while (cursor.GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound) {
      names.push_back(Get(cursor, buffer, "Jmeno"));
    }
    return names;
  }

  std::unique_ptr<TABSTableMetadata> defs_;
};

const std::vector<std::string> kAliases = {"MEMORY", "TEMP"};

TEST_F(VolatileCursorTest, AliasesNameTheProcessDatabases) {
  struct Case {
    const char* alias;
    TABSDatabaseData* database;
  };
  const std::vector<Case> cases = {{"MEMORY", &MemoryDatabase()},
                                   {"memory", &MemoryDatabase()},
                                   {"TEMP", &TemporaryDatabase()},
                                   {"Temp", &TemporaryDatabase()}};
  for (const Case& c : cases) {
    TABSLocalSession* session = NewSession(list_, false, c.alias);
    EXPECT_EQ(&session->Database(), c.database) << c.alias;
    EXPECT_EQ(session->DiskDatabase(), nullptr) << c.alias;
    TABSSessionSettings settings;
    settings.file_name = c.alias;
    EXPECT_EQ(ErrorCode([&] { TABSLocalSession::CreateDatabase(settings, list_); }), 20092) << c.alias;
  }
  EXPECT_EQ(list_.Count(), 0) << "the list holds files only";

  // The memory database outlives every session: a table made through one
  // is there for the next.
  {
    TABSLocalSession first(sessions_.front()->Settings(), list_);
    first.Connect();
    auto cursor = Opened(first, "pary");
    Insert(*cursor, "Novak", 1);
  }
  sessions_.clear();
  TABSLocalSession* later = NewSession(list_, false, "MEMORY");
  EXPECT_TRUE(later->TableExists("pary"));
  auto cursor = Cursor(*later, "pary", false);
  cursor->Open();
  EXPECT_EQ(Names(*cursor), std::vector<std::string>{"Novak"});
}

TEST_F(VolatileCursorTest, MissingTablesAreCreatedOnOpenOnlyWhenTheCursorMay) {
  struct Case {
    std::string alias;
    bool create;
    bool definitions;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"MEMORY", true, true, 0},      {"TEMP", true, true, 0},      {"MEMORY", false, true, 10028},
      {"TEMP", false, true, 10028},   {"MEMORY", true, false, 10028}, {"TEMP", true, false, 10028},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alias + (c.create ? " may create" : " may not create") +
                 (c.definitions ? "" : ", no definitions"));
    TABSLocalSession* session = NewSession(list_, false, c.alias);
    TABSCursorOptions options;
    options.create_missing = c.create;
    TABSLocalCursor cursor(*session, "vysledky", options);
    if (c.definitions) cursor.SetTableDefinitions(defs_->Fields(), defs_->Indexes(), defs_->Constraints());
    EXPECT_EQ(ErrorCode([&] { cursor.Open(); }), c.code);
    EXPECT_EQ(cursor.IsOpen(), c.code == 0);
    if (c.code == 0) {
      EXPECT_EQ(cursor.OpenTable().Metadata().Indexes().Count(), 2);
      EXPECT_EQ(cursor.RecordBufferSize(), cursor.FieldsEnd() + 7);
    }
    cursor.Close();
    if (c.alias == "MEMORY" && c.code == 0) MemoryDatabase().DeleteTable("vysledky");
    EXPECT_FALSE(session->TableExists("vysledky"));
  }
}

TEST_F(VolatileCursorTest, MemoryTableMaintenance) {
  TABSLocalSession* session = NewSession(list_, false, "MEMORY");
  Opened(*session, "pary");
  Opened(*session, "jine");
  TABSLocalCursor missing(*session, "nikdo");
  auto pary = Cursor(*session, "pary", false);
  struct Case {
    const char* what;
    std::function<void()> run;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {"delete a missing table", [&] { missing.DeleteTable(); }, 20132},
      {"empty a missing table", [&] { missing.EmptyTable(); }, 20133},
      {"rename a missing table", [&] { missing.RenameTable("x"); }, 20134},
      {"rename into itself", [&] { pary->RenameTable("PARY"); }, 30452},
      {"rename onto another table", [&] { pary->RenameTable("JINE"); }, 30451},
      {"open a missing table", [&] { missing.Open(); }, 10028},
      {"add an index of a taken name",
       [&] {
         pary->Open();
         auto index = std::make_unique<TABSIndexDef>();
         index->SetName("I_Body");
         index->SetColumns({"Jmeno"}, {""}, {""});
         pary->AddIndex(std::move(index));
       },
       20022},
      {"delete a missing index", [&] { pary->Open(), pary->DeleteIndex("I_Jmeno"); }, 20021},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorCode(c.run), c.code) << c.what;

  pary->Open();
  Insert(*pary, "Novak", 3);
  Insert(*pary, "Adam", 1);
  pary->SwitchIndex("I_Body");
  EXPECT_EQ(Names(*pary), (std::vector<std::string>{"Adam", "Novak"}));
  pary->DeleteIndex("I_Body");
  EXPECT_EQ(pary->IndexId(), -1) << "the cursor went to storage order";
  EXPECT_EQ(Names(*pary), (std::vector<std::string>{"Novak", "Adam"}));
  EXPECT_EQ(pary->OpenTable().Metadata().Indexes().Count(), 1);
  pary->DeleteAllIndexes();
  EXPECT_EQ(pary->OpenTable().Metadata().Indexes().Count(), 0);
  EXPECT_EQ(Names(*pary), (std::vector<std::string>{"Novak", "Adam"}));

  // A replacement open elsewhere, or without fields, leaves the old table.
  auto other = Cursor(*session, "pary", false);
  other->Open();
  EXPECT_EQ(ErrorCode([&] { pary->CreateTable(defs_->Fields(), defs_->Indexes(), defs_->Constraints()); }), 20017);
  other->Close();
  EXPECT_NE(ErrorCode([&] { pary->CreateTable(TABSFieldDefs(), TABSIndexDefs(), TABSConstraintDefs()); }), 0);
  EXPECT_EQ(session->TableNames(), (std::vector<std::string>{"pary", "jine"}));
  pary->Open();
  EXPECT_EQ(pary->RecordCount(), 2);
  pary->EmptyTable();
  EXPECT_FALSE(pary->IsOpen()) << "maintenance closes the cursor";
  pary->Open();
  EXPECT_EQ(pary->RecordCount(), 0);
  Insert(*pary, "Novak", 3);

  pary->CreateTable(defs_->Fields(), defs_->Indexes(), defs_->Constraints());
  pary->Open();
  EXPECT_EQ(pary->RecordCount(), 0) << "create leaves only the new, empty table";
  EXPECT_EQ(pary->OpenTable().Metadata().Indexes().Count(), 2);
  pary->RenameTable("pary2");
  EXPECT_TRUE(session->TableExists("pary2"));
  EXPECT_FALSE(session->TableExists("pary"));
  TABSLocalCursor(*session, "pary2").DeleteTable();
  EXPECT_EQ(session->TableNames(), std::vector<std::string>{"jine"});
}

TEST_F(VolatileCursorTest, TemporaryTablesRefuseEditsAndGoWithTheirLastCursor) {
  TABSLocalSession* session = NewSession(list_, false, "TEMP");
  auto first = Opened(*session, "vysledky");
  EXPECT_TRUE(first->TemporaryTable());
  Insert(*first, "Novak", 3);
  std::vector<uint8_t> rec = Insert(*first, "Adam", 1);
  EXPECT_FALSE(first->BeginEdit(rec.data()));
  EXPECT_EQ(first->Status(), -9);
  EXPECT_FALSE(first->Delete(rec.data()));
  EXPECT_EQ(first->Status(), -10);
  EXPECT_EQ(first->RecordCount(), 2);

  // A second cursor shares the table; it stays while either has it.
  auto second = Cursor(*session, "vysledky", false);
  second->Open();
  second->SwitchIndex("I_Body");
  EXPECT_EQ(Names(*second), (std::vector<std::string>{"Adam", "Novak"}));
  EXPECT_EQ(ErrorCode([&] { TABSLocalCursor(*session, "vysledky").DeleteTable(); }), 20017);
  EXPECT_EQ(ErrorCode([&] { TABSLocalCursor(*session, "vysledky").RenameTable("jine"); }), 10150);
  // Emptying keeps the cursor's table open where closing it would free it.
  first->EmptyTable();
  EXPECT_TRUE(first->IsOpen());
  EXPECT_EQ(second->RecordCount(), 0);
  Insert(*first, "Novak", 3);
  first->Close();
  EXPECT_TRUE(session->TableExists("vysledky"));
  EXPECT_EQ(second->RecordCount(), 1);
  second->Close();
  EXPECT_FALSE(session->TableExists("vysledky"));
  EXPECT_EQ(ErrorCode([&] { Cursor(*session, "vysledky", false)->Open(); }), 10028);

  // Create through the cursor: the table is the cursor's while it has it open.
  auto created = Cursor(*session, "vysledky", false);
  created->CreateTable(defs_->Fields(), defs_->Indexes(), defs_->Constraints());
  EXPECT_TRUE(created->IsOpen());
  Insert(*created, "Novak", 3);
  created.reset();
  EXPECT_FALSE(session->TableExists("vysledky"));
}

TEST_F(VolatileCursorTest, DefaultsFillNewRecordsOfMemoryTablesOnly) {
  for (const std::string& alias : kAliases) {
    TABSLocalSession* session = NewSession(list_, false, alias);
    auto cursor = Opened(*session, "vysledky");
    std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
    cursor->InitRecordBuffer(buffer.data(), true);
    EXPECT_EQ(Get(*cursor, buffer, "Body"), alias == "MEMORY" ? "5" : "NULL") << alias;
    cursor->InitRecordBuffer(buffer.data(), false);
    EXPECT_EQ(Get(*cursor, buffer, "Body"), "NULL") << alias;
  }
}

TEST_F(VolatileCursorTest, RecordsOutliveTheTransactionAndIndexPagesAreCommittedAtOnce) {
  for (const std::string& alias : kAliases) {
    SCOPED_TRACE(alias);
    TABSLocalSession* session = NewSession(list_, false, alias);
    auto cursor = Opened(*session, "vysledky");
    TABSTableData& table = cursor->OpenTable();

    session->StartTransaction();
    EXPECT_TRUE(session->InTransaction());
    EXPECT_EQ(ErrorCode([&] { session->StartTransaction(); }), 10810);
    for (const auto& [name, body] : std::vector<std::pair<std::string, int32_t>>{{"Novak", 3}, {"Adam", 1}}) {
      Insert(*cursor, name, body);
      EXPECT_EQ(table.PageManager()->DirtyPageCount(session->SessionNumber()), 0) << "after posting " << name;
    }
    session->Rollback();
    EXPECT_FALSE(session->InTransaction());
    EXPECT_EQ(ErrorCode([&] { session->Commit(); }), 20229);
    EXPECT_EQ(ErrorCode([&] { session->Rollback(); }), 20229);
    cursor->SwitchIndex("I_Body");
    EXPECT_EQ(Names(*cursor), (std::vector<std::string>{"Adam", "Novak"})) << "the rollback took nothing back";

    // A statement's batch is whole or nothing: cancelled, it takes back
    // what it posted; committed, it keeps it.
    cursor->BeginBatch();
    Insert(*cursor, "Zeman", 2);
    Insert(*cursor, "Bures", 4);
    cursor->CancelBatch();
    EXPECT_EQ(Names(*cursor), (std::vector<std::string>{"Adam", "Novak"}));
    cursor->BeginBatch();
    Insert(*cursor, "Zeman", 2);
    cursor->CommitBatch();
    EXPECT_EQ(Names(*cursor), (std::vector<std::string>{"Adam", "Zeman", "Novak"}));
    session->StartTransaction();
    session->Commit();
    cursor.reset();
    if (alias == "MEMORY") MemoryDatabase().DeleteTable("vysledky");
  }
}

}  // namespace
}  // namespace kelvorin::testing
