// The cursor's table maintenance and its records within one process: the
// errors of each maintenance operation, a table replaced by create, edits
// of one record through two cursors, constraint refusals, navigation and
// the index a cursor is ordered by going away.
#include <functional>

#include "db/access/local/access_errors.h"
#include "db/storage/catalog/catalog_check.h"
#include "tests/db/access/local/local_test_util.h"
#include "tests/db/storage/write_faults.h"

namespace kelvorin::testing {
namespace {

std::unique_ptr<TABSIndexDef> IndexOn(const std::string& name, const std::string& field) {
  auto index = std::make_unique<TABSIndexDef>();
  index->SetName(name);
  index->SetColumns({field}, {""}, {""});
  return index;
}

TABSVariant Text(const std::string& text) {
  TABSVariant value;
  value.SetString(text);
  return value;
}

TEST_F(LocalAccessTest, MaintenanceErrors) {
  TABSLocalSession* session = NewSession(list_, false);
  struct Case {
    const char* what;
    std::function<void()> run;
    int32_t code;
  };
  TABSLocalCursor missing(*session, "nikdo");
  TABSLocalCursor players(*session, kTable);
  const std::vector<Case> cases = {
      {"delete a missing table", [&] { missing.DeleteTable(); }, 20132},
      {"empty a missing table", [&] { missing.EmptyTable(); }, 20133},
      {"rename a missing table", [&] { missing.RenameTable("x"); }, 20134},
      {"rename into itself", [&] { players.RenameTable("HRACI"); }, 30452},
      {"open a missing table", [&] { missing.Open(); }, 10028},
      {"add an index of a taken name", [&] { players.Open(), players.AddIndex(IndexOn("I_id", "Body")); }, 20022},
      {"delete a missing index", [&] { players.Open(), players.DeleteIndex("I_Body"); }, 20021},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCode(c.run), c.code) << c.what;
  }
  TABSLocalCursor other(*session, "jini");
  const auto defs = Definitions({Field("n", TABSColumnType::Integer)});
  other.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
  EXPECT_EQ(ErrorCode([&] { players.RenameTable("JINI"); }), 30451);
  players.RenameTable("hraci2");
  EXPECT_TRUE(session->TableExists("hraci2"));
  EXPECT_FALSE(missing.IsOpen());
}

TEST_F(LocalAccessTest, CreateReplacesAnExistingTableOnlyWithASoundOne) {
  TABSLocalSession* session = NewSession(list_, false);
  auto cursor = OpenCursor(*session);
  Insert(*cursor, "Novak", 1);
  // No fields: refused before the table it would replace goes.
  TABSFieldDefs none;
  EXPECT_NE(ErrorCode([&] { cursor->CreateTable(none, TABSIndexDefs(), TABSConstraintDefs()); }), 0);
  EXPECT_FALSE(cursor->IsOpen()) << "maintenance closes the cursor";
  cursor->Open();
  EXPECT_EQ(cursor->RecordCount(), 1);

  const auto defs = Definitions({Field("Kolo", TABSColumnType::Integer)});
  cursor->CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
  cursor->Open();
  EXPECT_EQ(cursor->RecordCount(), 0);
  EXPECT_EQ(cursor->OpenTable().Metadata().Fields().Count(), 1);
  EXPECT_EQ(cursor->RecordBufferSize(), cursor->FieldsEnd() + 7);
  EXPECT_EQ(cursor->KeyBufferSize(), cursor->FieldsEnd() + 12);
}

// The table a create replaces goes only with its replacement: a write
// failing anywhere in the change keeps the old table and its records.
TEST_F(LocalAccessTest, CreateReplacesAnExistingTableWholeOrNotAtAll) {
  TABSLocalSession* session = NewSession(list_, false);
  const auto defs = Definitions({Field("Kolo", TABSColumnType::Integer)}, {"Kolo"});
  int32_t failures = 0;
  for (int32_t step = 1;; ++step) {
    SCOPED_TRACE("write " + std::to_string(step));
    ASSERT_LT(step, 200);
    TABSLocalCursor cursor(*session, kTable);
    cursor.Open();
    if (cursor.OpenTable().Metadata().Fields().Count() == 1) {
      // The last step replaced it: the players' table comes back.
      using C = TABSColumnType;
      const auto players = Definitions(
          {Field("id", C::AutoInc), Field("Jmeno", C::String, 20), Field("Body", C::Integer), Field("Foto", C::Blob)},
          {"id"});
      cursor.CreateTable(players->Fields(), players->Indexes(), players->Constraints());
      cursor.Open();
    }
    if (cursor.RecordCount() == 0) {
      Insert(cursor, "Novak", 1);
      Insert(cursor, "Dvorak", 2);
    }
    int32_t code = 0;
    int32_t writes = 0;
    {
      WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
      faults.fail_at = step;
      code = ErrorCode([&] { cursor.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints()); });
      writes = faults.writes;
    }
    if (writes < step) break;  // the fault fell beyond the change
    cursor.Open();
    if (code != 0) {
      ++failures;
      EXPECT_EQ(cursor.OpenTable().Metadata().Fields().Count(), 4);
      EXPECT_EQ(cursor.RecordCount(), 2);
      ExpectCatalogueClean(Path());
    } else {
      EXPECT_EQ(cursor.OpenTable().Metadata().Fields().Count(), 1);
      EXPECT_EQ(cursor.RecordCount(), 0);
      const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
      EXPECT_FALSE(report.HasCorruption()) << report.Describe();
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(failures, 0);
}

TEST_F(LocalAccessTest, CreatingATableThatIsOpenElsewhereIsRefused) {
  TABSLocalSession* session = NewSession(list_, false);
  auto open = OpenCursor(*session);
  Insert(*open, "Novak", 1);
  TABSLocalCursor creating(*session, kTable);
  const auto defs = Definitions({Field("Kolo", TABSColumnType::Integer)});
  EXPECT_NE(ErrorCode([&] { creating.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints()); }), 0);
  EXPECT_EQ(open->RecordCount(), 1);
}

TEST_F(LocalAccessTest, EditConflictsBetweenTwoCursors) {
  TABSLocalSession* session = NewSession(list_, false);
  auto first = OpenCursor(*session);
  auto second = OpenCursor(*session);
  Insert(*first, "Novak", 1);
  Insert(*first, "Dvorak", 2);

  // Changed through the second cursor after the first began its edit: -4.
  std::vector<uint8_t> a = FirstRecord(*first);
  ASSERT_TRUE(first->BeginEdit(a.data()));
  std::vector<uint8_t> b = FirstRecord(*second);
  ASSERT_TRUE(second->BeginEdit(b.data()));
  SetInt(*second, b, "Body", 10);
  ASSERT_TRUE(second->Post(b.data(), false));
  SetInt(*first, a, "Body", 20);
  EXPECT_FALSE(first->Post(a.data(), false));
  EXPECT_EQ(first->Status(), -4);
  EXPECT_EQ(Get(*first, a, "Body"), "20") << "the buffer keeps what was typed";
  EXPECT_FALSE(first->Editing());

  // Deleted through the second cursor: -6, and deleting again -7.
  a = FirstRecord(*first);
  ASSERT_TRUE(first->BeginEdit(a.data()));
  b = FirstRecord(*second);
  ASSERT_TRUE(second->Delete(b.data()));
  EXPECT_FALSE(first->Post(a.data(), false));
  EXPECT_EQ(first->Status(), -6);
  EXPECT_FALSE(second->Delete(b.data()));
  EXPECT_EQ(second->Status(), -7);

  // A constraint refusal: -8 with the message; nothing added, the
  // auto-increment value filled in is taken back, the edit goes on.
  std::vector<uint8_t> dup = first->NewRecordBuffer();
  first->InitRecordBuffer(dup.data(), true);
  const std::string kept_id = Get(*first, FirstRecord(*first), "id");
  SetInt(*first, dup, "id", std::stoll(kept_id));
  EXPECT_FALSE(first->Post(dup.data(), true));
  EXPECT_EQ(first->Status(), -8);
  EXPECT_NE(first->StatusMessage().find("Duplicate"), std::string::npos) << first->StatusMessage();
  EXPECT_EQ(first->RecordCount(), 1);
  std::vector<uint8_t> fresh = first->NewRecordBuffer();
  first->InitRecordBuffer(fresh.data(), true);
  SetText(*first, fresh, "Jmeno", "Svoboda");
  SetInt(*first, fresh, "Body", 5);
  ASSERT_TRUE(first->Post(fresh.data(), true));
  EXPECT_EQ(first->FlagOf(fresh.data()), TABSRecordFlag::kInserted);
  EXPECT_NE(Get(*first, fresh, "id"), "NULL");

  first->SwitchIndex("I_id");
  std::vector<uint8_t> edit = FirstRecord(*first);
  ASSERT_NE(Get(*first, edit, "id"), Get(*first, fresh, "id"));
  ASSERT_TRUE(first->BeginEdit(edit.data()));
  SetInt(*first, edit, "id", std::stoll(Get(*first, fresh, "id")));
  EXPECT_FALSE(first->Post(edit.data(), false));
  EXPECT_EQ(first->Status(), -8);
  EXPECT_TRUE(first->Editing()) << "a corrected record may be posted again";
  SetInt(*first, edit, "id", 1000);
  EXPECT_TRUE(first->Post(edit.data(), false));
  EXPECT_EQ(first->Status(), 0) << "the status resets at each operation";
}

TEST_F(LocalAccessTest, NavigationFiltersLocateAndRanges) {
  TABSLocalSession* session = NewSession(list_, false);
  auto cursor = OpenCursor(*session);
  cursor->AddIndex(IndexOn("I_Body", "Body"));
  for (int i = 0; i < 10; ++i) Insert(*cursor, "H" + std::to_string(i), (i * 7) % 10);
  cursor->SwitchIndex("I_Body");
  std::vector<uint8_t> buffer = cursor->NewRecordBuffer();
  std::vector<std::string> bodies;
  for (cursor->First(); cursor->GetRecord(buffer.data(), TABSGetRecordMode::kNext) == TABSGetRecordResult::kFound;) {
    bodies.push_back(Get(*cursor, buffer, "Body"));
  }
  EXPECT_EQ(bodies, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));

  cursor->SetFilterText("Body >= 5", false, false);
  EXPECT_EQ(cursor->RecordCount(), 5);
  EXPECT_NE(ErrorCode([&] { cursor->SetFilterText("Body >=", false, false); }), 0);
  EXPECT_EQ(cursor->FilterText(), "Body >= 5") << "a filter that fails to compile keeps the old one";
  EXPECT_EQ(cursor->RecordCount(), 5);
  cursor->ClearFilter();

  std::vector<uint8_t> low = std::vector<uint8_t>(static_cast<size_t>(cursor->KeyBufferSize()));
  std::vector<uint8_t> high = low;
  cursor->InitRecordBuffer(low.data(), false);
  cursor->InitRecordBuffer(high.data(), false);
  SetInt(*cursor, low, "Body", 2);
  SetInt(*cursor, high, "Body", 4);
  cursor->SetKeyTrailer(low.data(), true, true, 0);
  cursor->SetKeyTrailer(high.data(), true, false, 1);
  cursor->SetKeyRange(low.data(), high.data());
  EXPECT_EQ(cursor->RecordCount(), 2);
  cursor->CancelRange();

  const TABSVariant key[] = {Text("H3")};
  ASSERT_TRUE(cursor->Locate(buffer.data(), "Jmeno", key, false, false));
  EXPECT_EQ(Get(*cursor, buffer, "Body"), "1");
  EXPECT_EQ(cursor->RecordNumber(), 2);
  cursor->SetRecordNumber(10);
  ASSERT_EQ(cursor->GetRecord(buffer.data(), TABSGetRecordMode::kCurrent), TABSGetRecordResult::kFound);
  EXPECT_EQ(Get(*cursor, buffer, "Body"), "9");
  const TABSVariant nobody[] = {Text("X")};
  EXPECT_FALSE(cursor->Locate(buffer.data(), "Jmeno", nobody, false, false));
}

// A status tells of the operation just run: every operation starts from 0.
TEST_F(LocalAccessTest, EveryOperationResetsTheStatus) {
  TABSLocalSession* session = NewSession(list_, false);
  auto cursor = OpenCursor(*session);
  Insert(*cursor, "Novak", 1);
  Insert(*cursor, "Dvorak", 2);
  const auto refuse = [&] {
    std::vector<uint8_t> repeated = cursor->NewRecordBuffer();
    cursor->InitRecordBuffer(repeated.data(), true);
    SetInt(*cursor, repeated, "id", 1);
    ASSERT_FALSE(cursor->Post(repeated.data(), true));
    ASSERT_EQ(cursor->Status(), -8);
    ASSERT_FALSE(cursor->StatusMessage().empty());
  };
  std::vector<uint8_t> low(static_cast<size_t>(cursor->KeyBufferSize()));
  cursor->InitRecordBuffer(low.data(), false);
  SetInt(*cursor, low, "id", 1);
  cursor->SetKeyTrailer(low.data(), true, false, 0);
  struct Case {
    const char* what;
    std::function<void()> run;
  };
  const std::vector<Case> cases = {
      {"first", [&] { cursor->First(); }},
      {"last", [&] { cursor->Last(); }},
      {"record count", [&] { cursor->RecordCount(); }},
      {"record number", [&] { cursor->RecordNumber(); }},
      {"go to a record number", [&] { cursor->SetRecordNumber(1); }},
      {"filter", [&] { cursor->SetFilterText("Body >= 0", false, false); }},
      {"no filter", [&] { cursor->ClearFilter(); }},
      {"index", [&] { cursor->SwitchIndex("I_id"); }},
      {"range", [&] { cursor->SetKeyRange(low.data(), nullptr); }},
      {"no range", [&] { cursor->CancelRange(); }},
      {"storage order", [&] { cursor->SwitchIndex(""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    refuse();
    c.run();
    EXPECT_EQ(cursor->Status(), 0);
    EXPECT_EQ(cursor->StatusMessage(), "");
  }
}

// Dropping every index is one change: a write failing anywhere in it
// leaves every index in place, and one that does not stop it (a failure
// after the change is safe) leaves none.
TEST_F(LocalAccessTest, DeletingAllIndexesHappensWholeOrNotAtAll) {
  TABSLocalSession* session = NewSession(list_, false);
  auto cursor = OpenCursor(*session);
  for (int i = 0; i < 5; ++i) Insert(*cursor, "H" + std::to_string(i), 5 - i);
  const auto names = [&] {
    std::vector<std::string> found;
    const TABSIndexDefs& indexes = cursor->OpenTable().Metadata().Indexes();
    for (int32_t i = 0; i < indexes.Count(); ++i) found.push_back(indexes.Items(i)->Name());
    return found;
  };
  const std::vector<std::string> all = {"I_id", "I_Body", "I_Jmeno"};
  cursor->AddIndex(IndexOn("I_Body", "Body"));
  cursor->AddIndex(IndexOn("I_Jmeno", "Jmeno"));
  int32_t failures = 0;
  for (int32_t step = 1;; ++step) {
    SCOPED_TRACE("write " + std::to_string(step));
    ASSERT_LT(step, 200);
    if (names().empty()) {
      auto primary = IndexOn("I_id", "id");
      primary->SetPrimary(true);
      primary->SetUnique(true);
      cursor->AddIndex(std::move(primary));
      cursor->AddIndex(IndexOn("I_Body", "Body"));
      cursor->AddIndex(IndexOn("I_Jmeno", "Jmeno"));
    }
    ASSERT_EQ(names(), all);
    int32_t code = 0;
    int32_t writes = 0;
    {
      WriteFaults faults(Path(), WriteFaults::Scope::kFileAndJournal);
      faults.fail_at = step;
      code = ErrorCode([&] { cursor->DeleteAllIndexes(); });
      writes = faults.writes;
    }
    if (writes < step) break;  // the fault fell beyond the change
    if (code != 0) {
      ++failures;
      EXPECT_EQ(names(), all);
      cursor->SwitchIndex("I_Jmeno");
      EXPECT_EQ(Get(*cursor, FirstRecord(*cursor), "Jmeno"), "H0");
      cursor->SwitchIndex("");
      ExpectCatalogueClean(Path());
    } else {
      EXPECT_TRUE(names().empty());
      // A write failing after the change was made safe may leave space
      // unaccounted for until the next commit, never damage.
      const TABSIntegrityReport report = CheckDatabaseCatalogue(Path());
      EXPECT_FALSE(report.HasCorruption()) << report.Describe();
    }
    auto reopened = OpenCursor(*session);
    EXPECT_EQ(reopened->OpenTable().Metadata().Indexes().Count(), static_cast<int32_t>(names().size()));
    if (HasFailure()) return;
  }
  EXPECT_GT(failures, 0);
  EXPECT_EQ(cursor->RecordCount(), 5);
}

// The position a record buffer carries is the caller's: one that names no
// record of the table (a foreign page, a slot past the page, a page beyond
// the file) is refused as a record no longer there, or with an engine
// error, and nothing changes.
TEST_F(LocalAccessTest, APositionNamingNoRecordIsRefused) {
  for (const bool multi_user : {false, true}) {
    SCOPED_TRACE(multi_user ? "multi-user" : "single-user");
    TABSOpenDatabases list;
    TABSLocalSession* session = NewSession(list, multi_user);
    auto cursor = OpenCursor(*session);
    if (cursor->RecordCount() == 0) {
      Insert(*cursor, "Novak", 1);
      Insert(*cursor, "Dvorak", 2);
    }
    const TABSRecordId real = cursor->PositionOf(FirstRecord(*cursor).data());
    const std::vector<TABSRecordId> positions = {
        {-7, 0}, {0, 0}, {2, 0}, {real.page_no, 65535}, {real.page_no, 300}, {1 << 30, 0}, {0x7FFFFFFF, 65535}};
    for (const TABSRecordId& position : positions) {
      SCOPED_TRACE(std::to_string(position.page_no) + ":" + std::to_string(position.slot));
      std::vector<uint8_t> buffer = FirstRecord(*cursor);
      position.Store(buffer.data() + cursor->FieldsEnd());
      const auto refused = [&](auto operation, int32_t status) {
        bool done = true;
        const int32_t code = ErrorCode([&] { done = operation(); });
        if (code == 0) {
          EXPECT_FALSE(done);
          EXPECT_EQ(cursor->Status(), status);
        }
        EXPECT_FALSE(cursor->Editing());
      };
      refused([&] { return cursor->Delete(buffer.data()); }, -7);
      refused([&] { return cursor->Post(buffer.data(), false); }, -6);
      if (multi_user) refused([&] { return cursor->BeginEdit(buffer.data()); }, -6);
      EXPECT_EQ(cursor->RecordCount(), 2);
    }
    ExpectCatalogueClean(Path());
    cursor.reset();
    sessions_.clear();
  }
}

TEST_F(LocalAccessTest, DroppingTheIndexOfACursorMovesItToStorageOrder) {
  TABSLocalSession* session = NewSession(list_, false);
  auto cursor = OpenCursor(*session);
  cursor->AddIndex(IndexOn("I_Body", "Body"));
  cursor->AddIndex(IndexOn("I_Jmeno", "Jmeno"));
  for (int i = 0; i < 5; ++i) Insert(*cursor, "H" + std::to_string(i), 5 - i);
  auto reader = OpenCursor(*session);
  reader->SwitchIndex("I_Body");
  std::vector<uint8_t> buffer = FirstRecord(*reader);
  EXPECT_EQ(Get(*reader, buffer, "Body"), "1");
  cursor->DeleteIndex("I_Body");
  EXPECT_EQ(reader->IndexId(), -1);
  EXPECT_EQ(Get(*reader, FirstRecord(*reader), "Body"), "5");
  reader->SwitchIndex("I_Jmeno");
  cursor->DeleteAllIndexes();
  EXPECT_EQ(reader->IndexId(), -1);
  EXPECT_EQ(cursor->OpenTable().Metadata().Indexes().Count(), 0);
  EXPECT_EQ(cursor->RecordCount(), 5);
  ExpectCatalogueClean(Path());
}

}  // namespace
}  // namespace kelvorin::testing
