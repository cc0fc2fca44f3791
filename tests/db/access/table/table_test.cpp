// The table dataset: maintenance and its refusals, indexes and the order
// they give, key ranges, master and detail, the last auto-increment value.
#include <functional>

#include "tests/db/access/dataset/dataset_test_util.h"

namespace kelvorin::testing {
namespace {

using Names = std::vector<std::string>;

TEST_F(DatasetTest, MaintenanceRefusals) {
  TABSTable& players = Players();
  TABSTable& unnamed = NewTable("");
  TABSTable& missing = NewTable("nikdo");
  TABSTable& bad = NewTable("spatna");
  bad.DeclaredFieldDefs().Add("Jmeno", ftString, 0);
  struct Case {
    const char* what;
    std::function<void()> run;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"create without a name", [&] { unnamed.CreateTable(); }, "Missing TableName property"},
      {"delete without a name", [&] { unnamed.DeleteTable(); }, "Missing TableName property"},
      {"delete a missing table", [&] { missing.DeleteTable(); }, "Table 'nikdo' not found"},
      {"empty a missing table", [&] { missing.EmptyTable(); }, "Table 'nikdo' not found"},
      {"rename a missing table", [&] { missing.RenameTable("x"); }, "Table 'nikdo' not found"},
      {"rename into itself", [&] { players.RenameTable("HRACI"); }, "Cannot rename table 'hraci' into itself"},
      {"a string without a size", [&] { bad.CreateTable(); }, "Cannot create table 'spatna' with field: Jmeno"},
      {"an index without a name", [&] { players.AddIndex("", "Jmeno"); }, "Invalid index name ''"},
      {"an index without fields", [&] { players.AddIndex("I_x", ""); }, "Cannot find index field ''"},
      {"an index of an unknown field", [&] { players.AddIndex("I_x", "Prijmeni"); },
       "Cannot find index field 'Prijmeni'"},
      {"an index name taken", [&] { players.AddIndex("I_id", "Jmeno"); },
       "Cannot create index 'I_id'. Index already exists"},
      {"delete a missing index", [&] { players.DeleteIndex("I_x"); }, "Cannot delete index 'I_x'. Index not found"},
      {"empty an open table", [&] { players.Open(), players.EmptyTable(); },
       "Cannot perform this operation on an open dataset"},
  };
  for (const Case& c : cases) {
    const std::string raised = Raised(c.run);
    EXPECT_NE(raised.find(c.message), std::string::npos) << c.what << ": " << raised;
  }
  EXPECT_EQ(players.Database(), players.Active() ? database_.get() : nullptr) << "maintenance let go of the database";
}

TEST_F(DatasetTest, RefusedInsideATransaction) {
  TABSTable& players = Players();
  database_->StartTransaction();
  struct Case {
    std::function<void()> run;
    std::string operation;
  };
  const std::vector<Case> cases = {
      {[&] { players.CreateTable(); }, "CreateTable"},
      {[&] { players.DeleteTable(); }, "DeleteTable"},
      {[&] { players.RenameTable("x"); }, "RenameTable"},
      {[&] { players.AddIndex("I_Jmeno", "Jmeno"); }, "AddIndex"},
      {[&] { players.DeleteIndex("I_id"); }, "DeleteIndex"},
      {[&] { players.DeleteAllIndexes(); }, "DeleteAllIndexes"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(Raised(c.run).find("Cannot perform '" + c.operation + "' operation on a database in transaction"),
              std::string::npos)
        << c.operation;
  }
  database_->Rollback();
  EXPECT_TRUE(players.Exists());
}

TEST_F(DatasetTest, CreateReplacesOnlyWithASoundDefinition) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1);
  players.Close();
  TABSTable& replacement = NewTable("hraci");
  replacement.DeclaredFieldDefs().Add("Jmeno", ftString, 0);
  EXPECT_NE(Raised([&] { replacement.CreateTable(); }), "");
  players.Open();
  EXPECT_EQ(players.RecordCount(), 1) << "the old table stays";
  players.Close();
  players.CreateTable();
  players.Open();
  EXPECT_EQ(players.RecordCount(), 0) << "a sound definition replaces it";
}

TEST_F(DatasetTest, ExistsConnectsADisconnectedDatabase) {
  Players();
  database_->Close();
  TABSTable& players = NewTable("hraci");
  EXPECT_TRUE(players.Exists());
  EXPECT_TRUE(database_->Connected());
  EXPECT_FALSE(NewTable("nikdo").Exists());
}

TEST_F(DatasetTest, DefinitionsOfAClosedTableAndTheRestructureCopy) {
  Players();
  TABSTable& players = NewTable("hraci");
  players.InitFieldDefs();
  EXPECT_EQ(players.Database(), nullptr) << "held only while it reads";
  ASSERT_EQ(players.DeclaredFieldDefs().Count(), 3);
  EXPECT_EQ(players.DeclaredFieldDefs().Items(0).name, "Jmeno");
  EXPECT_EQ(players.DeclaredFieldDefs().Items(0).size, 20);
  EXPECT_EQ(players.DeclaredFieldDefs().Items(2).data_type, ftAutoInc);
  EXPECT_EQ(players.RestructureDefs().Fields().Count(), 3);
  EXPECT_EQ(players.RestructureDefs().Indexes().Count(), 1);
  ASSERT_EQ(players.IndexDefs().Count(), 1);
  EXPECT_EQ(players.IndexDefs().Items(0).options, ixPrimary | ixUnique);
}

TEST_F(DatasetTest, EmptyRenameAndDeleteTable) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1);
  players.Close();
  players.EmptyTable();
  players.Open();
  EXPECT_TRUE(players.IsEmpty());
  players.Close();
  players.RenameTable("hraci2");
  EXPECT_EQ(players.TableName(), "hraci2");
  EXPECT_FALSE(NewTable("hraci").Exists());
  players.DeleteTable();
  EXPECT_FALSE(players.Exists());
}

TEST_F(DatasetTest, IndexesOrderTheRecords) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "novak", 3);
  AddPlayer(players, "Adam", 1);
  AddPlayer(players, "Cerny", 2);
  players.AddIndex("I_Jmeno", "Jmeno", ixCaseInsensitive);
  players.AddIndex("I_Rating", "Rating", ixDescending);
  players.UpdateIndexDefs();
  ASSERT_EQ(players.IndexDefs().Count(), 3);
  EXPECT_EQ(players.IndexDefs().Find("I_Jmeno")->options, ixCaseInsensitive);
  EXPECT_EQ(players.IndexDefs().Find("i_rating")->options, ixDescending);

  players.AddIndex("I_obe", "Rating;Jmeno", 0, "Rating", "jmeno");
  players.UpdateIndexDefs();
  const TIndexDef* both = players.IndexDefs().Find("I_obe");
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->desc_fields, "Rating");
  EXPECT_EQ(both->case_ins_fields, "Jmeno");
  EXPECT_EQ(both->options, 0u);
  players.DeleteIndex("I_obe");

  players.SetIndexName("I_Jmeno");
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"Adam", "Cerny", "novak"}));
  players.SetIndexFieldNames("RATING");
  EXPECT_EQ(players.IndexName(), "") << "the last one set is in force";
  EXPECT_EQ(Column(players, "Rating"), (Names{"3", "2", "1"}));
  EXPECT_NE(Raised([&] { players.SetIndexFieldNames("Rating;Jmeno"); }), "") << "an exact list only";
  players.SetIndexName("");
  EXPECT_EQ(Column(players, "Jmeno"), (Names{"novak", "Adam", "Cerny"}));

  players.DeleteIndex("I_Jmeno");
  players.DeleteAllIndexes();
  players.UpdateIndexDefs();
  EXPECT_EQ(players.IndexDefs().Count(), 0);
  players.DeleteAllIndexes();  // none left: nothing to do
}

TEST_F(DatasetTest, DeleteIndexRefusesAnotherCursorsOrderAndDropsItsConstraint) {
  TABSTable& players = Players();
  players.Open();
  players.AddIndex("I_Jmeno", "Jmeno", ixUnique);
  AddPlayer(players, "Novak", 1);
  TABSTable& other = NewTable("hraci");
  other.SetIndexName("I_Jmeno");
  other.Open();
  EXPECT_NE(Raised([&] { players.DeleteIndex("I_Jmeno"); }).find("Index is in use"), std::string::npos);
  other.Close();
  players.DeleteIndex("I_Jmeno");
  AddPlayer(players, "Novak", 2);  // the unique constraint went with the index
  EXPECT_EQ(players.RecordCount(), 2);
}

TEST_F(DatasetTest, OpeningWithAnUnknownIndexHoldsNothing) {
  Players();
  TABSTable& players = NewTable("hraci");
  players.SetIndexName("I_nic");
  EXPECT_NE(Raised([&] { players.Open(); }), "");
  EXPECT_FALSE(players.Active());
  EXPECT_FALSE(players.HasCursor());
  EXPECT_EQ(players.Database(), nullptr);
}

class RangeTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    TABSTable& rounds = NewTable("param");
    rounds.DeclaredFieldDefs().Add("Kolo", ftInteger);
    rounds.IndexDefs().Add("I_Kolo", "Kolo");
    rounds.CreateTable();
    rounds.SetIndexName("I_Kolo");
    rounds.Open();
    for (int i = 1; i <= 9; ++i) {
      rounds.Insert();
      rounds.FieldByName("Kolo").SetAsInteger(i);
      rounds.Post();
    }
    rounds_ = &rounds;
  }
  void Range(int32_t low, int32_t high, bool low_exclusive, int32_t key_fields) {
    rounds_->SetRangeStart();
    rounds_->FieldByName("Kolo").SetAsInteger(low);
    rounds_->SetKeyExclusive(low_exclusive);
    rounds_->SetKeyFieldCount(key_fields);
    rounds_->SetRangeEnd();
    rounds_->FieldByName("Kolo").SetAsInteger(high);
    rounds_->SetKeyFieldCount(key_fields);
    rounds_->ApplyRange();
  }
  TABSTable* rounds_ = nullptr;
};

TEST_F(RangeTest, RangesOnAOneColumnTable) {
  TABSTable& r = *rounds_;
  struct Case {
    int32_t low, high;
    bool low_exclusive;
    int32_t key_fields;
    Names expected;
  };
  const std::vector<Case> cases = {
      {3, 5, false, 0, {"3", "4", "5"}},
      {3, 5, true, 1, {"4", "5"}},
      {3, 5, false, 9, {"3", "4", "5"}},  // more than the index has: all of them
      {8, 20, false, 0, {"8", "9"}},
      {6, 2, false, 0, {}},
  };
  for (const Case& c : cases) {
    Range(c.low, c.high, c.low_exclusive, c.key_fields);
    EXPECT_EQ(Column(r, "Kolo"), c.expected) << c.low << ".." << c.high;
    EXPECT_EQ(r.RecordCount(), static_cast<int32_t>(c.expected.size()));
  }
  r.SetRangeStart();
  EXPECT_NE(Raised([&] { r.SetKeyFieldCount(-1); }), "");
  r.Cancel();
  EXPECT_EQ(r.State(), TDataSetState::dsBrowse);
  r.CancelRange();
  EXPECT_EQ(r.RecordCount(), 9);
}

TEST_F(RangeTest, KeyStateTakesIndexFieldsOnlyAndCancelRestoresTheKey) {
  TABSTable& r = *rounds_;
  Range(2, 4, false, 0);
  r.SetRangeStart();
  EXPECT_EQ(r.State(), TDataSetState::dsSetKey);
  r.FieldByName("Kolo").SetAsInteger(7);
  r.Cancel();
  r.ApplyRange();
  EXPECT_EQ(Column(r, "Kolo"), (Names{"2", "3", "4"})) << "the cancelled key did not count";
}

TEST_F(RangeTest, AnIndexSwitchCancelsTheRange) {
  TABSTable& r = *rounds_;
  Range(2, 4, false, 0);
  EXPECT_TRUE(r.RangeApplied());
  r.SetIndexName("");
  EXPECT_FALSE(r.RangeApplied());
  EXPECT_EQ(r.RecordCount(), 9);
  r.SetIndexName("I_Kolo");
  EXPECT_EQ(Column(r, "Kolo").size(), 9u) << "the range stays cancelled";
}

TEST_F(DatasetTest, FieldsOutsideTheIndexAreRefusedInKeyState) {
  TABSTable& players = Players();
  players.SetIndexName("I_id");
  players.Open();
  players.SetRangeStart();
  EXPECT_NE(Raised([&] { players.FieldByName("Jmeno").SetAsString("x"); }).find("Field Jmeno is not in the current index"),
            std::string::npos);
  players.Cancel();
}

class MasterDetailTest : public DatasetTest {
 protected:
  // Novak (id 1) and Svoboda (id 2), open, and their seatings ordered by
  // player and round, closed.
  void SetUp() override {
    DatasetTest::SetUp();
    players_ = &Players();
    players_->Open();
    AddPlayer(*players_, "Novak", 1);
    AddPlayer(*players_, "Svoboda", 2);
    seatings_ = &Seatings(false);
    seatings_->IndexDefs().Add("I_hrac", "id_hrace;Kolo");
    seatings_->CreateTable();
    seatings_->SetIndexName("I_hrac");
  }

  TABSTable* players_ = nullptr;
  TABSTable* seatings_ = nullptr;
};

TEST_F(MasterDetailTest, DetailFollowsItsMaster) {
  TABSTable& players = *players_;
  TABSTable& seatings = *seatings_;
  TDataSource master(&players);
  seatings.SetMasterSource(&master);
  seatings.SetMasterFields("id");
  seatings.Open();
  for (int round = 1; round <= 3; ++round) {
    for (bool first : {true, false}) {
      players.First();
      if (!first) players.Next();
      seatings.Insert();  // the master's value goes into the key
      seatings.FieldByName("Kolo").SetAsInteger(round);
      seatings.Post();
    }
  }
  players.First();
  EXPECT_EQ(Column(seatings, "id_hrace"), (Names{"1", "1", "1"}));
  players.Next();
  EXPECT_EQ(Column(seatings, "Kolo"), (Names{"1", "2", "3"}));
  EXPECT_EQ(seatings.FieldByName("id_hrace").AsInteger(), 2);

  TDataSource detail(&seatings);
  EXPECT_NE(Raised([&] { players.SetMasterSource(&detail); }).find("Circular datalinks are not allowed"),
            std::string::npos);
  EXPECT_NE(Raised([&] { seatings.SetMasterSource(&detail); }).find("Circular datalinks are not allowed"),
            std::string::npos);
}

TEST_F(MasterDetailTest, ADetailLetGoByItsMasterShowsEveryRecord) {
  TABSTable& players = *players_;
  TABSTable& seatings = *seatings_;
  seatings.Open();
  for (int player = 1; player <= 2; ++player) {
    seatings.Insert();
    seatings.FieldByName("id_hrace").SetAsInteger(player);
    seatings.FieldByName("Kolo").SetAsInteger(1);
    seatings.Post();
  }
  TDataSource master(&players);
  const std::vector<std::function<void()>> let_go = {
      [&] { seatings.SetMasterSource(nullptr); },
      [&] { seatings.SetMasterFields(""); },
      [&] { master.SetDataSet(nullptr); },
  };
  for (size_t i = 0; i < let_go.size(); ++i) {
    SCOPED_TRACE(i);
    master.SetDataSet(&players);
    seatings.SetMasterSource(&master);
    seatings.SetMasterFields("id");
    players.Last();
    EXPECT_EQ(Column(seatings, "id_hrace"), (Names{"2"}));
    let_go[i]();
    EXPECT_EQ(Column(seatings, "id_hrace"), (Names{"1", "2"}));
    seatings.SetMasterSource(nullptr);
  }
  seatings.SetRange({TDataVariant::Integer(1)}, {TDataVariant::Integer(1)});
  seatings.SetMasterFields("");
  EXPECT_EQ(Column(seatings, "id_hrace"), (Names{"1"})) << "a range of its own stays";
}

TEST_F(DatasetTest, LastAutoIncValue) {
  TABSTable& players = Players();
  players.Open();
  AddPlayer(players, "Novak", 1);
  AddPlayer(players, "Svoboda", 2);
  players.Delete();
  EXPECT_EQ(players.LastAutoIncValue("id"), 2);
  EXPECT_EQ(players.LastAutoIncValue(2), 2);
  EXPECT_NE(Raised([&] { players.LastAutoIncValue("Prijmeni"); }), "");
}

TEST_F(DatasetTest, InMemoryTableIsCreatedFromItsDefinitions) {
  TABSTable& memory = NewTable("pamet");
  memory.SetInMemory(true);
  EXPECT_EQ(memory.DatabaseName(), "MEMORY");
  memory.DeclaredFieldDefs().Add("Kolo", ftInteger);
  memory.Open();
  memory.Insert();
  memory.FieldByName("Kolo").SetAsInteger(4);
  memory.Post();
  EXPECT_EQ(memory.RecordCount(), 1);
  memory.Close();
  memory.DeleteTable();
}

}  // namespace
}  // namespace kelvorin::testing
