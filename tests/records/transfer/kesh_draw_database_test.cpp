// kesh-draw --database: the next round drawn from a tournament file and
// stored back, its refusals, and the program killed at random moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "db/storage/catalog/catalog_check.h"
#include "tests/records/data/records_test_util.h"
#include "tests/kill_after.h"
#include "tests/tools/program_runner.h"

namespace records::testing {
namespace {

using kelvorin::TABSTable;
using tools_test::RunProgram;

constexpr char kProgram[] = "kesh-draw";

class KeshDrawDatabaseTest : public RecordsTest {
 protected:
  // 12 players with two rounds stored, then the file closed for the program.
  void MakeTournament() {
    data_->InitNew(FilePath());
    data_->Database().StartTransaction();
    for (int32_t p = 1; p <= 12; ++p) AddPlayer(p, "Hrac " + std::to_string(p));
    for (int32_t p = 1; p <= 12; ++p) AddSeating(p, (p - 1) / 4 + 1, 1, p % 4);
    for (int32_t p = 1; p <= 12; ++p) AddSeating(p, (p - 1) % 3 + 1, 2, (p + 1) % 4);
    data_->Database().Commit();
    SetRound(2);
    old_ = Rounds();
    data_->ShutDatabase();
  }
  // Round -> player -> "table/result" of every stored seating; the file is
  // opened for it and closed again.
  std::map<int32_t, std::map<int32_t, std::string>> Rounds() {
    const bool was_open = data_->IsConnected();
    if (!was_open) data_->InitOpen(FilePath());
    std::map<int32_t, std::map<int32_t, std::string>> rounds;
    if (!data_->tblSeskupeni().Active()) return rounds;
    TABSTable& seatings = data_->tblSeskupeni();
    for (seatings.First(); !seatings.Eof(); seatings.Next()) {
      std::string& cell = rounds[seatings.FieldByName("Kolo").AsInteger()][seatings.FieldByName("id_hrace").AsInteger()];
      EXPECT_EQ(cell, "") << "a player twice in a round";
      cell = seatings.FieldByName("Stul").AsString() + "/" + seatings.FieldByName("Body").AsString();
    }
    if (!was_open) data_->ShutDatabase();
    return rounds;
  }
  int32_t StoredRound() {
    data_->InitOpen(FilePath());
    const int32_t round = data_->CurrentRound();
    data_->ShutDatabase();
    return round;
  }
  // The old rounds unchanged and round 3 in tables of four, numbered in the
  // order of each table's lowest player.
  void ExpectOldRoundsPlusANewOne(const std::map<int32_t, std::map<int32_t, std::string>>& rounds) {
    ASSERT_EQ(rounds.size(), 3u);
    EXPECT_EQ(rounds.at(1), old_.at(1));
    EXPECT_EQ(rounds.at(2), old_.at(2));
    std::map<std::string, int> sizes;
    int next = 1;
    for (const auto& [player, cell] : rounds.at(3)) {
      const std::string table = cell.substr(0, cell.find('/'));
      if (sizes[table]++ == 0) {
        EXPECT_EQ(table, std::to_string(next++)) << "player " << player;
      }
      EXPECT_EQ(cell.substr(cell.find('/')), "/") << "a new round has no results";
    }
    EXPECT_EQ(sizes, (std::map<std::string, int>{{"1", 4}, {"2", 4}, {"3", 4}}));
  }

  std::map<int32_t, std::map<int32_t, std::string>> old_;
};

TEST_F(KeshDrawDatabaseTest, DrawsStoresAndPrintsTheNextRound) {
  MakeTournament();
  const tools_test::ProgramResult r = RunProgram(kProgram, "--database velinari");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::map<int32_t, std::map<int32_t, std::string>> rounds = Rounds();
  ExpectOldRoundsPlusANewOne(rounds);
  std::string expected = "id_hrace\tJmeno\tStul\n";
  for (const auto& [player, cell] : rounds.at(3)) {
    expected += std::to_string(player) + "\tHrac " + std::to_string(player) + "\t" + cell.substr(0, cell.find('/')) +
                "\n";
  }
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(StoredRound(), 3);
  EXPECT_TRUE(kelvorin::CheckDatabaseCatalogue(FilePath()).Clean());
}

class KeshDrawRefusalTest;

struct RefusalCase {
  const char* name;
  std::function<void(KeshDrawRefusalTest&)> setup;
  std::string arguments;
  std::string error;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class KeshDrawRefusalTest : public KeshDrawDatabaseTest, public ::testing::WithParamInterface<RefusalCase> {
 public:
  using KeshDrawDatabaseTest::AddPlayer;
  using KeshDrawDatabaseTest::AddSeating;
  using KeshDrawDatabaseTest::data_;
  using KeshDrawDatabaseTest::FilePath;
};

TEST_P(KeshDrawRefusalTest, PrintsTheMessageExitsWithOneAndKeepsTheFile) {
  GetParam().setup(*this);
  const auto before = Rounds();
  const tools_test::ProgramResult r = RunProgram(kProgram, GetParam().arguments);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, GetParam().error);
  EXPECT_EQ(Rounds(), before);
}

// Players with the given numbers and seatings {player, table, round,
// result}; a seating of three numbers has no result.
void TournamentWith(KeshDrawRefusalTest& t, const std::vector<int32_t>& players,
                    const std::vector<std::vector<int32_t>>& seatings) {
  t.data_->InitNew(t.FilePath());
  for (int32_t p : players) t.AddPlayer(p, "H");
  for (const std::vector<int32_t>& s : seatings) {
    if (s.size() == 4) {
      t.AddSeating(s[0], s[1], s[2], s[3]);
      continue;
    }
    TABSTable& table = t.data_->tblSeskupeni();
    table.Insert();
    table.FieldByName("id_hrace").SetAsInteger(s[0]);
    table.FieldByName("Stul").SetAsInteger(s[1]);
    table.FieldByName("Kolo").SetAsInteger(s[2]);
    table.Post();
  }
  t.data_->ShutDatabase();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeshDrawRefusalTest,
    ::testing::Values(
        RefusalCase{"NoSuchFile", [](auto&) {}, "--database nic",
                    "Cannot open file \"nic\". No such file or directory\n"},
        RefusalCase{"NoPlayers", [](auto& t) { TournamentWith(t, {}, {}); }, "--database velinari",
                    "Žádná data. Načtěte data a zkuste to znovu.\n"},
        RefusalCase{"MissingResult",
                    [](auto& t) { TournamentWith(t, {1, 2, 3, 4}, {{1, 1, 1, 3}, {2, 1, 1, 2}, {3, 1, 1, 1}, {4, 1, 1}}); },
                    "--database velinari",
                    "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.\n"},
        RefusalCase{"GapInThePlayerNumbers", [](auto& t) { TournamentWith(t, {2}, {}); }, "--database velinari",
                    "Cislo hrace 1 nema hrace ani rozesazeni; hraci musi byt ocislovani 1..2 bez mezer\n"},
        RefusalCase{"RoundZeroStored", [](auto& t) { TournamentWith(t, {1, 2, 3, 4}, {{1, 1, 0, 3}}); }, "--database velinari",
                    "Zaznam 1 tabulky seskupeni (id_hrace 1, Kolo 0): cislo kola neni v rozsahu 1..1000\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeshDrawDatabaseTest, AFileWithoutTheTournamentTablesIsRefused) {
  {
    kelvorin::TABSDatabase database;
    database.SetDatabaseName("prazdny");
    database.SetDatabaseFileName(FilePath("prazdny"));
    database.CreateDatabase();
  }
  const tools_test::ProgramResult r = RunProgram(kProgram, "--database prazdny");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "V databazi chybi tabulka 'hraci'\n");
}

// The whole group of processes (kesh-draw, cmd, wmatch) killed after
// `delay_ms`, or left to finish.
void RunAndKill(int delay_ms) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setpgid(0, 0);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execl((std::string(VESTRUM_BIN_DIR) + "/" + kProgram).c_str(), kProgram, "--database", "velinari",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(child, child);
  const int status = testing_support::WaitOrKill(child, -child, delay_ms);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(KeshDrawDatabaseTest, KilledAtRandomTheFileHoldsTheOldRoundsOrOneMore) {
  MakeTournament();
  const std::filesystem::path original = dir_ / "original";
  std::filesystem::copy_file(FilePath(), original);
  // One whole run first, to spread the kills over its length.
  const auto start = std::chrono::steady_clock::now();
  RunAndKill(600000);
  const int whole_ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  ExpectOldRoundsPlusANewOne(Rounds());

  std::mt19937 rng(19);
  int drawn = 0;
  for (int run = 0; run < 10; ++run) {
    std::filesystem::copy_file(original, FilePath(), std::filesystem::copy_options::overwrite_existing);
    // Over the whole run and a little beyond, so that some runs finish.
    const int delay = std::uniform_int_distribution<int>(0, whole_ms * 6 / 5)(rng);
    SCOPED_TRACE("killed after " + std::to_string(delay) + " ms");
    RunAndKill(delay);
    // Opening rolls an interrupted commit back.
    const std::map<int32_t, std::map<int32_t, std::string>> rounds = Rounds();
    if (rounds.size() == 3) {
      ++drawn;
      ExpectOldRoundsPlusANewOne(rounds);
      EXPECT_EQ(StoredRound(), 3);
    } else {
      EXPECT_EQ(rounds, old_);
      EXPECT_EQ(StoredRound(), 2);
    }
    // No damage; at most a page the killed transaction had taken stays
    // marked used (a leak, which Compact gives back).
    const kelvorin::TABSIntegrityReport report = kelvorin::CheckDatabaseCatalogue(FilePath());
    EXPECT_EQ(report.LeakCount(), static_cast<int>(report.problems.size())) << report.Describe();
  }
  RecordProperty("drawn_runs", drawn);
}

}  // namespace
}  // namespace records::testing
