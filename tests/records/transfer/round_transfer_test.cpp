// The round transfer without a window: grids written to the seating table
// and read back, refusals that leave both sides as they were, stored values
// that cannot be a history, and the chain drawing rounds through the real
// matching programs.
#include "records/transfer/round_transfer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "platform/file.h"
#include "tests/db/storage/locks/lock_test_util.h"
#include "tests/pairing/engine_fixture.h"
#include "tests/records/data/records_test_util.h"

namespace records::testing {
namespace {

using kelvorin::TABSTable;
using kelvorin::TDataSetState;
using Value = std::optional<int32_t>;

constexpr Value kNull = std::nullopt;

class RoundTransferTest : public RecordsTest {
 protected:
  RoundTransferTest() : engine_(dialogs_) {}

  void SetUp() override {
    RecordsTest::SetUp();
    data_->InitNew(FilePath());
  }
  void TearDown() override {
    platform::SetFileObserver(nullptr);
    RecordsTest::TearDown();
  }

  // Runs `work` in one transaction: one sync of the file instead of one for
  // every posted record.
  void Batch(const std::function<void()>& work) {
    data_->Database().StartTransaction();
    work();
    data_->Database().Commit();
  }
  void AddPlayers(int32_t count) {
    Batch([&] {
      for (int32_t id = 1; id <= count; ++id) AddPlayer(id, "Hrac " + std::to_string(id));
    });
  }
  // A seating record with any field possibly NULL.
  void AddRawSeating(Value player, Value table, Value round, Value result, Value score = kNull) {
    TABSTable& seatings = data_->tblSeskupeni();
    seatings.Insert();
    const std::pair<const char*, Value> fields[] = {
        {"id_hrace", player}, {"Stul", table}, {"Kolo", round}, {"Body", result}, {"Skore", score}};
    for (const auto& [name, value] : fields) {
      if (value) seatings.FieldByName(name).SetAsInteger(*value);
    }
    seatings.Post();
  }
  // Rounds of 12 players stored: round 1 tables of four by number, round 2
  // players 1, 4, 7, 10 at table 1 and so on; results 0..3.
  void StoreTwelvePlayersTwoRounds() {
    AddPlayers(12);
    Batch([&] {
      for (int32_t p = 1; p <= 12; ++p) AddSeating(p, (p - 1) / 4 + 1, 1, p % 4);
      for (int32_t p = 1; p <= 12; ++p) AddSeating(p, (p - 1) % 3 + 1, 2, (p + 1) % 4);
    });
  }

  // Every stored seating as "player table round result score", in storage
  // order; the cursor must be browsing.
  std::vector<std::string> Snapshot() {
    TABSTable& seatings = data_->tblSeskupeni();
    EXPECT_EQ(seatings.State(), TDataSetState::dsBrowse);
    std::vector<std::string> rows;
    for (seatings.First(); !seatings.Eof(); seatings.Next()) {
      std::string row;
      for (const char* name : {"id_hrace", "Stul", "Kolo", "Body", "Skore"}) {
        const kelvorin::TField& field = seatings.FieldByName(name);
        row += (field.IsNull() ? std::string("-") : field.AsString()) + " ";
      }
      rows.push_back(row);
    }
    return rows;
  }
  // Player -> table of one stored round.
  std::map<int32_t, int32_t> StoredTables(int32_t round) {
    std::map<int32_t, int32_t> tables;
    TABSTable& seatings = data_->tblSeskupeni();
    for (seatings.First(); !seatings.Eof(); seatings.Next()) {
      if (seatings.FieldByName("Kolo").AsInteger() == round) {
        tables[seatings.FieldByName("id_hrace").AsInteger()] = seatings.FieldByName("Stul").AsInteger();
      }
    }
    return tables;
  }
  void ExpectNothingPending() {
    for (TABSTable* table : {&data_->tblHraci(), &data_->tblSeskupeni(), &data_->tblSeskupeniWin(),
                             &data_->tblParam()}) {
      EXPECT_EQ(table->State(), TDataSetState::dsBrowse) << table->TableName();
    }
    EXPECT_FALSE(data_->Database().InTransaction());
  }
  // Counters and every cell of the used area, headings included.
  static std::string GridState(const pairing::PairingEngine& engine) {
    return std::to_string(engine.RoundCount()) + "/" + std::to_string(engine.PlayerCount()) + ":" +
           engine.ExportToText();
  }

  pairing_test::ScriptedDialogs dialogs_;
  pairing::PairingEngine engine_;
};

// Tables of four numbered 1, 2, ... in the order of each table's lowest
// player.
void ExpectTablesOfFourInNumberOrder(const std::map<int32_t, int32_t>& tables, int32_t players) {
  ASSERT_EQ(static_cast<int32_t>(tables.size()), players);
  std::map<int32_t, int> sizes;
  int32_t next = 1;
  for (const auto& [player, table] : tables) {
    if (sizes[table]++ == 0) {
      EXPECT_EQ(table, next++) << "player " << player;
    }
  }
  for (const auto& [table, size] : sizes) EXPECT_EQ(size, 4) << "table " << table;
}

// --- Round trips ------------------------------------------------------------

struct RoundTripCase {
  int32_t players;
  int32_t rounds;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.players << "x" << c.rounds; }

class RoundTripTest : public RoundTransferTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, GridToSeatingAndBackGivesTheSameGridAndKeepsSkore) {
  const auto [players, rounds] = GetParam();
  AddPlayers(players);
  std::mt19937 rng(static_cast<uint32_t>(players * 1000 + rounds));
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int32_t> small(-5, 300);
  engine_.SetPlayerCount(players);
  engine_.SetRoundCount(rounds);
  engine_.ClearGrid();
  for (int32_t col = 1; col <= 2 * rounds; ++col) {
    for (int32_t row = 1; row <= players; ++row) {
      const int k = kind(rng);
      if (k < 3) continue;  // empty: NULL
      const int32_t value = k == 9 ? (row % 2 ? INT32_MAX : INT32_MIN) : small(rng);
      engine_.grid().SetCell(col, row, std::to_string(value));
    }
  }
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), players * rounds);

  // Scores typed into some seatings survive the next transfer (typed
  // through the transfer's own cursor, which does not look up names).
  std::map<std::pair<int32_t, int32_t>, int32_t> scores;
  TABSTable& seatings = data_->SeatingRows();
  Batch([&] {
    for (seatings.First(); !seatings.Eof(); seatings.Next()) {
      if (kind(rng) < 7) continue;
      const int32_t score = small(rng);
      scores[{seatings.FieldByName("id_hrace").AsInteger(), seatings.FieldByName("Kolo").AsInteger()}] = score;
      seatings.Edit();
      seatings.FieldByName("Skore").SetAsInteger(score);
      seatings.Post();
    }
  });
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  std::map<std::pair<int32_t, int32_t>, int32_t> kept;
  for (seatings.First(); !seatings.Eof(); seatings.Next()) {
    if (seatings.FieldByName("Skore").IsNull()) continue;
    kept[{seatings.FieldByName("id_hrace").AsInteger(), seatings.FieldByName("Kolo").AsInteger()}] =
        seatings.FieldByName("Skore").AsInteger();
  }
  EXPECT_EQ(kept, scores);

  pairing::PairingEngine loaded(dialogs_);
  SeatingToGrid(*data_, &loaded);
  EXPECT_EQ(GridState(loaded), GridState(engine_));
  ExpectNothingPending();
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTripTest,
                         ::testing::Values(RoundTripCase{1, 1}, RoundTripCase{7, 0}, RoundTripCase{12, 3},
                                           RoundTripCase{511, 30}),
                         [](const auto& info) {
                           return std::to_string(info.param.players) + "x" + std::to_string(info.param.rounds);
                         });

// --- Refused grids ----------------------------------------------------------

struct RefusedGridCase {
  const char* name;
  std::function<void(pairing::PairingEngine&)> spoil;
  const char* error;
};

void PrintTo(const RefusedGridCase& c, std::ostream* os) { *os << c.name; }

class RefusedGridTest : public RoundTransferTest, public ::testing::WithParamInterface<RefusedGridCase> {};

TEST_P(RefusedGridTest, LeavesTheTableExactlyAsBefore) {
  StoreTwelvePlayersTwoRounds();
  AddRawSeating(3, 1, 1, 2, 77);  // a later duplicate, with a score
  const std::vector<std::string> before = Snapshot();
  engine_.SetRoundCount(3);
  engine_.SetPlayerCount(12);
  engine_.ClearGrid();
  for (int32_t col = 1; col <= 6; ++col) {
    for (int32_t row = 1; row <= 12; ++row) engine_.grid().SetCell(col, row, std::to_string(col + row));
  }
  GetParam().spoil(engine_);
  EXPECT_EQ(Raised([&] { GridToSeating(*data_, &engine_, {}); }), GetParam().error);
  EXPECT_EQ(Snapshot(), before);
  ExpectNothingPending();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedGridTest,
    ::testing::Values(
        RefusedGridCase{"HalfPointInTheFirstRow", [](auto& e) { e.grid().SetCell(2, 1, "2,5"); },
                        "Hrac 1, kolo 1: '2,5' is not a valid integer value for field 'Body'"},
        RefusedGridCase{"TypoInTheLastRow", [](auto& e) { e.grid().SetCell(3, 12, "1o"); },
                        "Hrac 12, kolo 2: '1o' is not a valid integer value for field 'Stul'"},
        RefusedGridCase{"PointInTheLastRound", [](auto& e) { e.grid().SetCell(6, 12, "2.5"); },
                        "Hrac 12, kolo 3: '2.5' is not a valid integer value for field 'Body'"},
        RefusedGridCase{"BeyondThirtyTwoBits", [](auto& e) { e.grid().SetCell(5, 7, "2147483648"); },
                        "Hrac 7, kolo 3: '2147483648' is not a valid integer value for field 'Stul'"},
        RefusedGridCase{"TooManyPlayers", [](auto& e) { e.SetPlayerCount(512); },
                        "Pocet hracu 512 neni v rozsahu 0..511"},
        RefusedGridCase{"NegativePlayers", [](auto& e) { e.SetPlayerCount(-1); },
                        "Pocet hracu -1 neni v rozsahu 0..511"},
        RefusedGridCase{"TooManyRounds", [](auto& e) { e.SetRoundCount(1001); },
                        "Pocet kol 1001 neni v rozsahu 0..1000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoundTransferTest, AWriteFailingInTheMiddleOfTheRewriteLeavesTheTableAsBefore) {
  StoreTwelvePlayersTwoRounds();
  AddRawSeating(5, 2, 2, 1, 9);
  const std::vector<std::string> before = Snapshot();
  SeatingToGrid(*data_, &engine_);
  engine_.grid().SetCell(4, 1, "3");

  // The writes of a whole rewrite, then the same rewrite failing halfway.
  kelvorin::testing::WriteTrap counting(FilePath(), 0, 0);
  platform::SetFileObserver(&counting);
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  platform::SetFileObserver(nullptr);
  ASSERT_GT(counting.Writes(), 2);
  const std::vector<std::string> rewritten = Snapshot();
  ASSERT_NE(rewritten, before);

  engine_.grid().SetCell(4, 1, "0");
  kelvorin::testing::WriteTrap failing(FilePath(), 0, counting.Writes() / 2);
  platform::SetFileObserver(&failing);
  EXPECT_NE(Raised([&] { GridToSeating(*data_, &engine_, {}); }), "");
  platform::SetFileObserver(nullptr);
  ExpectNothingPending();
  EXPECT_EQ(Snapshot(), rewritten);
  // The file is sound: the next rewrite goes through.
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, &engine_); }), "");
  EXPECT_EQ(engine_.grid().Cell(4, 1), "0");
}

// --- Stored values that are no history --------------------------------------

struct StoredValueCase {
  const char* name;
  Value player;
  Value round;
  const char* error;
};

void PrintTo(const StoredValueCase& c, std::ostream* os) { *os << c.name; }

class StoredValueTest : public RoundTransferTest, public ::testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValueTest, IsNamedAndNothingChanges) {
  StoreTwelvePlayersTwoRounds();
  AddRawSeating(GetParam().player, 1, GetParam().round, 2);
  engine_.ImportFromText("1\t2\r3\t4\r");
  const std::string before = GridState(engine_);
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, &engine_); }), GetParam().error);
  EXPECT_EQ(GridState(engine_), before);
  EXPECT_EQ(Raised([&] { RoundChain(*data_, &engine_); }), GetParam().error);
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), 25);
  ExpectNothingPending();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredValueTest,
    ::testing::Values(
        StoredValueCase{"RoundNull", 4, kNull, "Zaznam 25 tabulky seskupeni (id_hrace 4, Kolo NULL): chybi cislo kola"},
        StoredValueCase{"RoundZero", 4, 0,
                        "Zaznam 25 tabulky seskupeni (id_hrace 4, Kolo 0): cislo kola neni v rozsahu 1..1000"},
        StoredValueCase{"RoundTwoToTheThirty", 4, 1 << 30,
                        "Zaznam 25 tabulky seskupeni (id_hrace 4, Kolo 1073741824): cislo kola neni v rozsahu "
                        "1..1000"},
        StoredValueCase{"RoundInt32Max", 4, INT32_MAX,
                        "Zaznam 25 tabulky seskupeni (id_hrace 4, Kolo 2147483647): cislo kola neni v rozsahu "
                        "1..1000"},
        StoredValueCase{"PlayerNull", kNull, 2,
                        "Zaznam 25 tabulky seskupeni (id_hrace NULL, Kolo 2): chybi cislo hrace"},
        StoredValueCase{"PlayerZero", 0, 2,
                        "Zaznam 25 tabulky seskupeni (id_hrace 0, Kolo 2): cislo hrace neni v rozsahu 1..12"},
        StoredValueCase{"PlayerAboveTheHighest", 13, 2,
                        "Zaznam 25 tabulky seskupeni (id_hrace 13, Kolo 2): cislo hrace neni v rozsahu 1..12"}),
    [](const auto& info) { return std::string(info.param.name); });

struct NumberingCase {
  const char* name;
  std::vector<int32_t> players;
  std::vector<int32_t> seated;  // players with a seating in round 1
  const char* error;            // "" when the history loads
};

void PrintTo(const NumberingCase& c, std::ostream* os) { *os << c.name; }

class NumberingTest : public RoundTransferTest, public ::testing::WithParamInterface<NumberingCase> {};

TEST_P(NumberingTest, PlayerNumbersWithoutPlayerOrSeatingAreNamed) {
  for (int32_t id : GetParam().players) AddPlayer(id, "Hrac " + std::to_string(id));
  for (int32_t id : GetParam().seated) AddSeating(id, 1, 1, 1);
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, &engine_); }), GetParam().error);
  if (*GetParam().error == '\0') {
    EXPECT_EQ(engine_.PlayerCount(), GetParam().players.back());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberingTest,
    ::testing::Values(
        NumberingCase{"OneTwoFive", {1, 2, 5}, {}, "Cisla hracu 3, 4 nema hrace ani rozesazeni; hraci musi byt "
                                                    "ocislovani 1..5 bez mezer"},
        NumberingCase{"OneTwoFiveWithTheGapSeated", {1, 2, 5}, {3, 4}, ""},
        NumberingCase{"OnlyTwo", {2}, {}, "Cislo hrace 1 nema hrace ani rozesazeni; hraci musi byt ocislovani "
                                         "1..2 bez mezer"},
        NumberingCase{"LongRun", {1, 9}, {2}, "Cisla hracu 3..8 nema hrace ani rozesazeni; hraci musi byt "
                                              "ocislovani 1..9 bez mezer"},
        NumberingCase{"SeatingWithoutPlayers", {}, {1}, "Zaznam 1 tabulky seskupeni (id_hrace 1, Kolo 1): "
                                                        "tabulka hraci je prazdna"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoundTransferTest, AnEmptySeatingTableEmptiesTheWholeGrid) {
  AddPlayers(5);
  // A grid from the clipboard, with a round beyond the shown columns.
  engine_.ImportFromText("1\t2\r1\t3\r");
  engine_.grid().SetCell(40, 1, "9");
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(engine_.RoundCount(), 0);
  EXPECT_EQ(engine_.PlayerCount(), 5);
  for (int col : {1, 2, 40}) EXPECT_EQ(engine_.grid().Cell(col, 1), "") << col;
  EXPECT_EQ(engine_.grid().Cell(0, 5), "5");
}

TEST_F(RoundTransferTest, HistoryBeyondTheShownColumnsIsClearedBeforeLoading) {
  AddPlayers(4);
  for (int32_t p = 1; p <= 4; ++p) AddSeating(p, 1, 1, p);
  engine_.SetPlayerCount(4);
  engine_.SetRoundCount(9);
  for (int32_t p = 1; p <= 4; ++p) engine_.grid().SetCell(17, p, "2");
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(engine_.RoundCount(), 1);
  // Drawing round 2 must not find an old round 9 in the hidden columns.
  EXPECT_EQ(engine_.grid().Cell(17, 1), "");
}

TEST_F(RoundTransferTest, LaterRecordOfTheSamePlayerAndRoundWins) {
  AddPlayers(2);
  AddSeating(1, 1, 1, 3);
  AddSeating(2, 1, 1, 0);
  AddRawSeating(1, kNull, 1, 1);
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(engine_.grid().Cell(1, 1), "");
  EXPECT_EQ(engine_.grid().Cell(2, 1), "1");
}

// --- Connection and the pairing window ---------------------------------------

TEST_F(RoundTransferTest, WithoutAPairingWindowEveryCommandRefusesAndTouchesNothing) {
  StoreTwelvePlayersTwoRounds();
  const std::vector<std::string> before = Snapshot();
  const std::string refusal = "Okno systemu neni otevreno: kolo nelze prevest";
  EXPECT_EQ(Raised([&] { GridToSeating(*data_, nullptr, {}); }), refusal);
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, nullptr); }), refusal);
  EXPECT_EQ(Raised([&] { RoundChain(*data_, nullptr); }), refusal);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RoundTransferTest, AfterSaveTheTransfersReconnectAndReadTheStoredHistory) {
  StoreTwelvePlayersTwoRounds();
  const std::vector<std::string> before = Snapshot();
  data_->ShutDatabase();
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(engine_.RoundCount(), 2);
  EXPECT_EQ(engine_.PlayerCount(), 12);
  data_->ShutDatabase();
  ASSERT_TRUE(GridToSeating(*data_, &engine_, {}));
  EXPECT_EQ(Snapshot().size(), before.size());
}

TEST_F(RoundTransferTest, AFileOpenOnlyForReadingIsReadButNeverRewritten) {
  StoreTwelvePlayersTwoRounds();
  const std::vector<std::string> before = Snapshot();
  data_->ShutDatabase();
  data_->Database().SetReadOnly(true);
  data_->InitOpen(FilePath());
  ASSERT_TRUE(data_->IsReadOnly());
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(engine_.RoundCount(), 2);
  const std::string refusal = "Databaze je otevrena jen pro cteni: rozesazeni nelze zapsat";
  EXPECT_EQ(Raised([&] { GridToSeating(*data_, &engine_, {}); }), refusal);
  EXPECT_EQ(Raised([&] { RoundChain(*data_, &engine_); }), refusal);
  // Refused before the draw: the grid holds the stored rounds only.
  EXPECT_EQ(engine_.RoundCount(), 2);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RoundTransferTest, AFileWithoutTheSeatingTableIsAnError) {
  AddPlayers(4);
  data_->ShutDatabase();
  {
    TABSTable table;
    table.SetDatabaseName(TData::kAlias);
    table.SetTableName("seskupeni");
    table.DeleteTable();
  }
  const std::string refusal = "V databazi chybi tabulka 'seskupeni'";
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, &engine_); }), refusal);
  EXPECT_EQ(Raised([&] { GridToSeating(*data_, &engine_, {}); }), refusal);
  EXPECT_EQ(Raised([&] { RoundChain(*data_, &engine_); }), refusal);
  EXPECT_EQ(engine_.RoundCount(), 0);
  EXPECT_EQ(engine_.PlayerCount(), pairing::PairingEngine::kInitialPlayerCount);
}

TEST_F(RoundTransferTest, APendingEditIsPostedBeforeTheTransferAndAFailingPostStopsIt) {
  StoreTwelvePlayersTwoRounds();
  TABSTable& list = data_->tblSeskupeniWin();
  list.Last();
  list.Edit();
  list.FieldByName("Body").SetAsInteger(3);
  SeatingToGrid(*data_, &engine_);
  EXPECT_EQ(list.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(engine_.grid().Cell(4, 12), "3");

  const std::string before = GridState(engine_);
  TABSTable& players = data_->tblHraci();
  players.Last();
  players.Edit();
  players.FieldByName("id").SetAsInteger(600);
  EXPECT_EQ(Raised([&] { SeatingToGrid(*data_, &engine_); }), "Cislo hrace 600 neni v rozsahu 1..511");
  EXPECT_EQ(GridState(engine_), before);
  players.Cancel();
}

// --- The shorter grid question -----------------------------------------------

struct ShorterGridCase {
  const char* name;
  int32_t rounds;
  int32_t players;
  std::optional<bool> answer;  // none: no question expected
  bool written;
};

void PrintTo(const ShorterGridCase& c, std::ostream* os) { *os << c.name; }

class ShorterGridTest : public RoundTransferTest, public ::testing::WithParamInterface<ShorterGridCase> {};

TEST_P(ShorterGridTest, AsksBeforeDroppingStoredRoundsOrPlayers) {
  StoreTwelvePlayersTwoRounds();
  const std::vector<std::string> before = Snapshot();
  engine_.SetRoundCount(GetParam().rounds);
  engine_.SetPlayerCount(GetParam().players);
  std::vector<std::string> questions;
  const bool written = GridToSeating(*data_, &engine_, [&](const std::string& question) {
    questions.push_back(question);
    return GetParam().answer.value_or(false);
  });
  EXPECT_EQ(questions.size(), GetParam().answer ? 1u : 0u);
  EXPECT_EQ(written, GetParam().written);
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(),
            written ? GetParam().rounds * GetParam().players : static_cast<int32_t>(before.size()));
  if (!written) {
    EXPECT_EQ(Snapshot(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShorterGridTest,
                         ::testing::Values(ShorterGridCase{"FreshWindowNo", 0, 32, false, false},
                                           ShorterGridCase{"FreshWindowYes", 0, 32, true, true},
                                           ShorterGridCase{"FewerPlayersNo", 2, 11, false, false},
                                           ShorterGridCase{"SameSizeNotAsked", 2, 12, std::nullopt, true},
                                           ShorterGridCase{"LongerNotAsked", 3, 14, std::nullopt, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The chain ----------------------------------------------------------------

TEST_F(RoundTransferTest, ChainDrawsTheNextRoundFromTypedResults) {
  StoreTwelvePlayersTwoRounds();
  AddRawSeating(12, 3, 2, kNull);  // a later duplicate: its empty result ...
  // ... is typed in the seating list and left unposted.
  TABSTable& list = data_->tblSeskupeniWin();
  list.Last();
  list.Edit();
  list.FieldByName("Body").SetAsInteger(2);
  const std::map<int32_t, int32_t> round1 = StoredTables(1);
  const std::map<int32_t, int32_t> round2 = StoredTables(2);

  ASSERT_TRUE(RoundChain(*data_, &engine_));
  EXPECT_TRUE(dialogs_.questions.empty());
  EXPECT_EQ(data_->CurrentRound(), 3);
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), 36);
  EXPECT_EQ(StoredTables(1), round1);
  EXPECT_EQ(StoredTables(2), round2);
  ExpectTablesOfFourInNumberOrder(StoredTables(3), 12);
  // The typed result went into the history the draw read.
  EXPECT_EQ(engine_.grid().Cell(4, 12), "2");
  ExpectNothingPending();
}

TEST_F(RoundTransferTest, SaveThenChainKeepsEveryRound) {
  StoreTwelvePlayersTwoRounds();
  const std::map<int32_t, int32_t> round2 = StoredTables(2);
  data_->ShutDatabase();
  ASSERT_TRUE(RoundChain(*data_, &engine_));
  EXPECT_EQ(StoredTables(2), round2);
  ExpectTablesOfFourInNumberOrder(StoredTables(3), 12);
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), 36);
}

struct MissingResultCase {
  const char* name;
  bool answer;
  bool drawn;
};

void PrintTo(const MissingResultCase& c, std::ostream* os) { *os << c.name; }

class MissingResultTest : public RoundTransferTest, public ::testing::WithParamInterface<MissingResultCase> {};

TEST_P(MissingResultTest, TheQuestionDecidesWhetherTheRoundIsDrawn) {
  AddPlayers(12);
  Batch([&] {
    for (int32_t p = 1; p <= 12; ++p) AddRawSeating(p, (p - 1) / 4 + 1, 1, p == 7 ? kNull : p % 4, p);
  });
  const std::vector<std::string> before = Snapshot();
  // Each weights computation of the run may ask.
  dialogs_.answers = {GetParam().answer, GetParam().answer};
  if (GetParam().drawn) {
    ASSERT_TRUE(RoundChain(*data_, &engine_));
    ExpectTablesOfFourInNumberOrder(StoredTables(2), 12);
    EXPECT_EQ(data_->CurrentRound(), 2);
    // Round 1 keeps its empty result and every score.
    std::vector<std::string> after = Snapshot();
    after.resize(before.size());
    EXPECT_EQ(after, before);
  } else {
    EXPECT_NE(Raised([&] { RoundChain(*data_, &engine_); }), "");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(data_->CurrentRound(), 0);
  }
  EXPECT_EQ(dialogs_.questions.size(), GetParam().answer ? 2u : 1u);
  ExpectNothingPending();
}

INSTANTIATE_TEST_SUITE_P(Answers, MissingResultTest,
                         ::testing::Values(MissingResultCase{"YesCountsThemAsZero", true, true},
                                           MissingResultCase{"NoStopsTheChain", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoundTransferTest, ChainWithoutPlayersDrawsNothingAndStops) {
  SetRound(4);
  EXPECT_FALSE(RoundChain(*data_, &engine_));
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"Žádná data. Načtěte data a zkuste to znovu."});
  EXPECT_TRUE(data_->tblSeskupeni().IsEmpty());
  EXPECT_EQ(data_->CurrentRound(), 4);
}

TEST_F(RoundTransferTest, ChainRefusesToDrawBeyondTheLastRound) {
  AddPlayers(1);
  Batch([&] {
    for (int32_t round = 1; round <= TData::kMaxRound; ++round) AddSeating(1, 0, round, 0);
  });
  EXPECT_EQ(Raised([&] { RoundChain(*data_, &engine_); }), "Kolo 1001 nelze losovat: kola jdou jen do 1000");
  EXPECT_EQ(data_->tblSeskupeni().RecordCount(), TData::kMaxRound);
}

TEST_F(RoundTransferTest, ChainReportsARunThatDrewNothing) {
  StoreTwelvePlayersTwoRounds();
  const std::vector<std::string> before = Snapshot();
  EXPECT_FALSE(RoundChain(*data_, &engine_, [](pairing::PairingEngine&) { return false; }));
  EXPECT_EQ(Snapshot(), before);
}

// A draw by hand: the next round in tables of four by player number.
bool DrawByNumber(pairing::PairingEngine& engine) {
  const int32_t round = engine.RoundCount() + 1;
  for (int32_t p = 1; p <= engine.PlayerCount(); ++p) {
    engine.grid().SetCell(2 * round - 1, p, std::to_string((p - 1) / 4 + 1));
  }
  engine.SetRoundCount(round);
  return true;
}

TEST_F(RoundTransferTest, AChainKilledAtAnyWriteLeavesTheOldRoundsOrOneMore) {
  StoreTwelvePlayersTwoRounds();
  SetRound(2);
  const std::vector<std::string> old_rows = Snapshot();
  data_->ShutDatabase();
  const std::string original = (dir_ / "original").string();
  std::filesystem::copy_file(FilePath(), original);

  // The writes of a whole chain.
  data_->InitOpen(FilePath());
  kelvorin::testing::WriteTrap counting(FilePath(), 0, 0);
  platform::SetFileObserver(&counting);
  ASSERT_TRUE(RoundChain(*data_, &engine_, DrawByNumber));
  platform::SetFileObserver(nullptr);
  std::vector<std::string> new_rows = Snapshot();
  data_->ShutDatabase();
  ASSERT_EQ(new_rows.size(), 36u);

  for (int kill_at = 1; kill_at <= counting.Writes(); ++kill_at) {
    SCOPED_TRACE("killed at write " + std::to_string(kill_at));
    std::filesystem::copy_file(original, FilePath(), std::filesystem::copy_options::overwrite_existing);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int status = 0;
      try {
        // The child's own copy of the data module (one per alias).
        data_->InitOpen(FilePath());
        pairing::PairingEngine engine(dialogs_);
        kelvorin::testing::WriteTrap trap(FilePath(), kill_at, 0);
        platform::SetFileObserver(&trap);
        RoundChain(*data_, &engine, DrawByNumber);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 2;
      }
      _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the chain ended before its last write: " << status;
    // The next open rolls an interrupted commit back; then the file is sound
    // (a page the killed transaction had taken may stay marked used: a
    // leak, which Compact gives back, never damage).
    data_->InitOpen(FilePath());
    const std::vector<std::string> rows = Snapshot();
    if (rows.size() == old_rows.size()) {
      EXPECT_EQ(rows, old_rows);
      EXPECT_EQ(data_->CurrentRound(), 2);
    } else {
      EXPECT_EQ(rows, new_rows);
      EXPECT_EQ(data_->CurrentRound(), 3);
    }
    data_->ShutDatabase();
    const kelvorin::TABSIntegrityReport report = kelvorin::CheckDatabaseCatalogue(FilePath());
    EXPECT_EQ(report.LeakCount(), static_cast<int>(report.problems.size())) << report.Describe();
  }
}

}  // namespace
}  // namespace records::testing
