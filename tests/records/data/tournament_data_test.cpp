#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "records/data/tournament_data.h"
#include "tests/records/data/records_test_util.h"

namespace records::testing {
namespace {

using kelvorin::TABSTable;

class TournamentDataTest : public RecordsTest {
 protected:
  std::vector<TABSTable*> Cursors() {
    return {&data_->tblHraci(), &data_->tblSeskupeni(), &data_->tblSeskupeniWin(), &data_->tblParam()};
  }
  int OpenCursors() {
    int open = 0;
    for (TABSTable* table : Cursors()) open += table->Active() ? 1 : 0;
    return open;
  }
  // A tournament file holding only the named tables, made by the data
  // module and then cut down.
  void MakeFileWithout(const char* missing) {
    data_->InitNew(FilePath());
    AddPlayer(1, "Novák");
    AddSeating(1, 1, 1, 3);
    data_->ShutDatabase();
    TABSTable table;
    table.SetDatabaseName(TData::kAlias);
    table.SetTableName(missing);
    table.DeleteTable();
    data_.reset();
    data_ = std::make_unique<TData>();
  }
};

TEST_F(TournamentDataTest, InitNewOnAnEmptyDirectoryCreatesThreeEmptyTablesAndOpensFourCursors) {
  data_->InitNew(TData::kFileName);
  EXPECT_TRUE(std::filesystem::exists(dir_ / TData::kFileName));
  EXPECT_TRUE(data_->IsConnected());
  EXPECT_EQ(OpenCursors(), 4);
  for (TABSTable* table : Cursors()) EXPECT_TRUE(table->IsEmpty()) << table->TableName();
  std::vector<std::string> tables;
  data_->Database().GetTablesList(tables);
  EXPECT_EQ(tables.size(), 3u);
  // The players' fields in their order, and the stored ones the file keeps.
  EXPECT_EQ(data_->tblHraci().Fields(0).FieldName(), "id");
  EXPECT_EQ(data_->tblHraci().Fields(1).FieldName(), "Jmeno");
  EXPECT_GE(data_->tblHraci().FieldDefs().IndexOf("Rating"), 0);
  EXPECT_EQ(data_->tblSeskupeniWin().Fields(1).FieldKind(), kelvorin::TFieldKind::fkLookup);
}

TEST_F(TournamentDataTest, InitNewOnAFileLackingOnlyParamCreatesItAndKeepsTheData) {
  MakeFileWithout("param");
  data_->InitNew(FilePath());
  EXPECT_EQ(OpenCursors(), 4);
  EXPECT_TRUE(data_->tblParam().IsEmpty());
  EXPECT_EQ(Players(), std::vector<std::string>{"1:Novák"});
  EXPECT_EQ(SeatingColumn("Body"), std::vector<std::string>{"3"});
}

TEST_F(TournamentDataTest, InitOpenOnAFileWithTwoOfTheTablesLeavesEverythingClosed) {
  MakeFileWithout("seskupeni");
  data_->InitOpen(FilePath());
  EXPECT_FALSE(data_->IsConnected());
  EXPECT_EQ(OpenCursors(), 0);
}

TEST_F(TournamentDataTest, InitOpenOnAMissingFileLeavesEverythingClosed) {
  data_->InitOpen(FilePath("nothing"));
  EXPECT_FALSE(data_->IsConnected());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "nothing"));
}

TEST_F(TournamentDataTest, InitOpenOnACompleteFileOpensTheCursors) {
  data_->InitNew(FilePath());
  AddPlayer(4, "Dvořák");
  data_->ShutDatabase();
  EXPECT_EQ(OpenCursors(), 0);
  data_->InitOpen(FilePath());
  EXPECT_EQ(OpenCursors(), 4);
  EXPECT_EQ(Players(), std::vector<std::string>{"4:Dvořák"});
}

TEST_F(TournamentDataTest, ActivateTablesOnADisconnectedDatabaseIsRefused) {
  EXPECT_EQ(Raised([&] { data_->ActivateTables(); }), TData::kNotConnectedText);
  EXPECT_EQ(OpenCursors(), 0);
}

TEST_F(TournamentDataTest, AStoredTableWithOtherFieldsIsRefusedNamingThemAndNothingOpens) {
  {
    kelvorin::TABSDatabase database;
    database.SetDatabaseFileName(FilePath());
    database.SetDatabaseName("jiny");
    database.CreateDatabase();
    database.Open();
    TABSTable table;
    table.SetDatabaseName("jiny");
    table.SetTableName("seskupeni");
    for (const char* name : {"id_hrace", "Kolo", "Body"}) table.DeclaredFieldDefs().Add(name, kelvorin::ftInteger);
    table.DeclaredFieldDefs().Add("Stul", kelvorin::ftFloat);
    table.CreateTable();
  }
  const std::string error = Raised([&] { data_->InitNew(FilePath()); });
  EXPECT_EQ(error, "Tabulka 'seskupeni' nema ocekavana pole: Stul (Integer: je Float), Skore (Integer: chybi)");
  EXPECT_EQ(OpenCursors(), 0);
  EXPECT_TRUE(data_->IsConnected());
}

TEST_F(TournamentDataTest, ASeatingWhosePlayerIsMissingShowsAnEmptyName) {
  data_->InitNew(FilePath());
  AddPlayer(1, "Novák");
  AddSeating(1, 1, 1, 0);
  AddSeating(2, 1, 1, 0);
  data_->tblSeskupeniWin().Refresh();
  EXPECT_EQ(SeatingColumn("Jmeno"), (std::vector<std::string>{"Novák", ""}));
}

TEST_F(TournamentDataTest, APlayerWithSeatingsIsKnown) {
  data_->InitNew(FilePath());
  AddSeating(2, 1, 1, 0);
  EXPECT_TRUE(data_->PlayerHasSeatings(2));
  EXPECT_FALSE(data_->PlayerHasSeatings(3));
}

// --- The round filter and the caption ---

struct RoundFilterCase {
  const char* name;
  bool stored;  // param has a record
  int32_t round;
  bool filtered;
  std::vector<std::string> rounds_listed;
  const char* filter_text;
  const char* caption;
};

class RoundFilterTest : public TournamentDataTest, public ::testing::WithParamInterface<RoundFilterCase> {};

TEST_P(RoundFilterTest, ListsTheRoundsAndNamesTheWindow) {
  const RoundFilterCase& c = GetParam();
  data_->InitNew(FilePath());
  for (int32_t round = 1; round <= 3; ++round) AddSeating(1, 1, round, 0);
  if (c.stored) SetRound(c.round);
  data_->ApplyFilterState(c.filtered);
  EXPECT_EQ(SeatingColumn("Kolo"), c.rounds_listed);
  EXPECT_EQ(data_->tblSeskupeniWin().Filter(), c.filter_text);
  EXPECT_EQ(data_->tblSeskupeniWin().Filtered(), c.filtered);
  EXPECT_EQ(data_->SeatingCaption(), c.caption);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundFilterTest,
    ::testing::Values(
        RoundFilterCase{"Round3Filtered", true, 3, true, {"3"}, "Kolo = 3", "Rozesazení - kolo 3"},
        RoundFilterCase{"Round3Unfiltered", true, 3, false, {"1", "2", "3"}, "", "Rozesazení"},
        RoundFilterCase{"NoRoundFiltered", false, 0, true, {"1", "2", "3"}, "", "Rozesazení - kolo "},
        RoundFilterCase{"Round0Filtered", true, 0, true, {"1", "2", "3"}, "", "Rozesazení - kolo 0"},
        RoundFilterCase{"NegativeRoundFiltered", true, -1, true, {"1", "2", "3"}, "", "Rozesazení - kolo -1"}),
    [](const ::testing::TestParamInfo<RoundFilterCase>& info) { return std::string(info.param.name); });

TEST_F(TournamentDataTest, ApplyRoundFilterOnAnUnfilteredListChangesNothingEvenForRound5) {
  data_->InitNew(FilePath());
  AddSeating(1, 1, 5, 0);
  AddSeating(1, 1, 4, 0);
  SetRound(5);
  data_->ApplyRoundFilter();
  EXPECT_FALSE(data_->tblSeskupeniWin().Filtered());
  EXPECT_EQ(data_->tblSeskupeniWin().Filter(), "");
  data_->tblSeskupeniWin().Refresh();
  EXPECT_EQ(SeatingColumn("Kolo"), (std::vector<std::string>{"5", "4"}));
}

TEST_F(TournamentDataTest, AChangedRoundRefiltersTheList) {
  data_->InitNew(FilePath());
  AddSeating(1, 1, 1, 0);
  AddSeating(1, 2, 2, 0);
  SetRound(1);
  data_->ApplyFilterState(true);
  SetRound(2);
  data_->ApplyRoundFilter();
  EXPECT_EQ(SeatingColumn("Stul"), std::vector<std::string>{"2"});
  EXPECT_EQ(data_->SeatingCaption(), "Rozesazení - kolo 2");
}

// The round box and the round chain set the current round through the data
// module: rounds outside 1..1000 never reach `param`.
TEST_F(TournamentDataTest, SetCurrentRoundStoresRoundsOneToAThousandOnly) {
  data_->InitNew(FilePath());
  for (int32_t round = 1; round <= 3; ++round) AddSeating(1, 1, round, 0);
  data_->ApplyFilterState(true);
  const struct {
    int32_t round;
    const char* error;  // nullptr: stored
    const char* kolo_after;
  } cases[] = {
      {2, nullptr, "2"},  // the empty table gets its first record
      {3, nullptr, "3"},
      {0, "Kolo 0 neni v rozsahu 1..1000", "3"},
      {-3, "Kolo -3 neni v rozsahu 1..1000", "3"},
      {1001, "Kolo 1001 neni v rozsahu 1..1000", "3"},
      {1000, nullptr, "1000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.round);
    EXPECT_EQ(Raised([&] { data_->SetCurrentRound(c.round); }), c.error ? c.error : "");
    EXPECT_EQ(data_->tblParam().RecordCount(), 1);
    EXPECT_EQ(data_->CurrentRoundText(), c.kolo_after);
    EXPECT_EQ(data_->tblParam().State(), kelvorin::TDataSetState::dsBrowse);
    EXPECT_EQ(data_->tblSeskupeniWin().Filter(), std::string("Kolo = ") + c.kolo_after);
  }
  data_->ShutDatabase();
  EXPECT_EQ(Raised([&] { data_->SetCurrentRound(2); }), TData::kNotConnectedText);
}

TEST_F(TournamentDataTest, OpeningAFileWithoutARoundDropsTheRoundOfTheFileBefore) {
  data_->InitNew(FilePath("druhy"));
  AddSeating(1, 1, 1, 0);
  AddSeating(1, 1, 2, 0);
  data_->ShutDatabase();
  data_->InitNew(FilePath());
  SetRound(5);
  data_->ApplyFilterState(true);
  ASSERT_EQ(data_->tblSeskupeniWin().Filter(), "Kolo = 5");
  data_->ShutDatabase();
  data_->InitOpen(FilePath("druhy"));
  data_->ApplyRoundFilter();
  EXPECT_EQ(data_->tblSeskupeniWin().Filter(), "");
  EXPECT_EQ(SeatingColumn("Kolo"), (std::vector<std::string>{"1", "2"}));
}

// --- Sorting through "userindex" ---

TEST_F(TournamentDataTest, SortingByTableNumberPostsThePendingResultFirst) {
  data_->InitNew(FilePath());
  for (int32_t player = 1; player <= 3; ++player) AddSeating(player, 4 - player, 1, 0);
  TABSTable& list = data_->tblSeskupeniWin();
  list.Refresh();
  list.First();
  list.Edit();
  list.FieldByName("Body").SetAsInteger(7);
  ASSERT_TRUE(data_->SortSeatingBy("Stul"));
  EXPECT_TRUE(list.Active());
  EXPECT_EQ(list.IndexName(), "userindex");
  EXPECT_EQ(SeatingColumn("Stul"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(SeatingColumn("Body"), (std::vector<std::string>{"0", "0", "7"}));
}

TEST_F(TournamentDataTest, SortingByTheLookedUpNameChangesNothing) {
  data_->InitNew(FilePath());
  AddSeating(2, 1, 1, 0);
  EXPECT_FALSE(data_->SortSeatingBy("Jmeno"));
  EXPECT_EQ(data_->tblSeskupeniWin().IndexName(), "");
  EXPECT_TRUE(data_->tblSeskupeniWin().Active());
}

TEST_F(TournamentDataTest, ASortWhoseIndexOperationsFailReopensTheList) {
  data_->InitNew(FilePath());
  AddSeating(2, 1, 1, 0);
  data_->Database().StartTransaction();  // index changes are refused inside one
  EXPECT_NE(Raised([&] { data_->SortSeatingBy("Kolo"); }), "");
  EXPECT_TRUE(data_->tblSeskupeniWin().Active());
  EXPECT_EQ(SeatingColumn("id_hrace"), std::vector<std::string>{"2"});
  data_->Database().Rollback();
}

TEST_F(TournamentDataTest, AnotherFileWithoutTheSortIndexOpensInStorageOrder) {
  data_->InitNew(FilePath());
  AddSeating(2, 1, 1, 0);
  ASSERT_TRUE(data_->SortSeatingBy("Stul"));
  data_->ShutDatabase();
  data_->InitNew(FilePath("druhy"));
  EXPECT_EQ(data_->tblSeskupeniWin().IndexName(), "");
  EXPECT_TRUE(data_->tblSeskupeniWin().Active());
}

// --- The players' post checks ---

struct PlayerIdCase {
  const char* name;
  int32_t id;
  const char* error;  // "" when the post is accepted
};

class PlayerIdTest : public TournamentDataTest, public ::testing::WithParamInterface<PlayerIdCase> {};

TEST_P(PlayerIdTest, PostChecksTheId) {
  data_->InitNew(FilePath());
  AddPlayer(5, "Novák");
  const std::string error = Raised([&] { AddPlayer(GetParam().id, "Nový"); });
  EXPECT_EQ(error, GetParam().error);
  if (!error.empty()) {
    EXPECT_EQ(data_->tblHraci().State(), kelvorin::TDataSetState::dsInsert);
    data_->tblHraci().Cancel();
    EXPECT_EQ(Players(), std::vector<std::string>{"5:Novák"});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerIdTest,
    ::testing::Values(PlayerIdCase{"One", 1, ""}, PlayerIdCase{"Last", 511, ""},
                      PlayerIdCase{"Zero", 0, "Cislo hrace 0 neni v rozsahu 1..511"},
                      PlayerIdCase{"Negative", -1, "Cislo hrace -1 neni v rozsahu 1..511"},
                      PlayerIdCase{"AboveTheGrid", 512, "Cislo hrace 512 neni v rozsahu 1..511"},
                      PlayerIdCase{"Largest", 2147483647, "Cislo hrace 2147483647 neni v rozsahu 1..511"},
                      PlayerIdCase{"Duplicate", 5, "Cislo hrace 5 uz ma jiny hrac"}),
    [](const ::testing::TestParamInfo<PlayerIdCase>& info) { return std::string(info.param.name); });

TEST_F(TournamentDataTest, EditingAPlayerKeepsOrChangesItsOwnIdButNotToAnother) {
  data_->InitNew(FilePath());
  AddPlayer(1, "Novák");
  AddPlayer(2, "Dvořák");
  TABSTable& players = data_->tblHraci();
  players.First();
  players.Edit();
  players.FieldByName("Jmeno").SetAsString("Nováková");
  players.Post();
  players.Edit();
  players.FieldByName("id").SetAsInteger(2);
  EXPECT_EQ(Raised([&] { players.Post(); }), "Cislo hrace 2 uz ma jiny hrac");
  players.FieldByName("id").SetAsInteger(3);
  players.Post();
  EXPECT_EQ(Players(), (std::vector<std::string>{"3:Nováková", "2:Dvořák"}));
}

TEST_F(TournamentDataTest, AGeneratedIdStaysWithinTheGrid) {
  data_->InitNew(FilePath());
  AddPlayer(511, "Poslední");
  TABSTable& players = data_->tblHraci();
  players.Insert();
  players.FieldByName("Jmeno").SetAsString("Další");
  EXPECT_EQ(Raised([&] { players.Post(); }), "Hrac nemuze dostat cislo: cisla 1..511 jsou vycerpana");
  players.Cancel();
}

}  // namespace
}  // namespace records::testing
