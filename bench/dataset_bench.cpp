// Datasets against SQLite, the same work in one run (SQLite: synchronous
// FULL, rollback journal). The tournament's tables: hraci (Jmeno, Rating,
// id auto-increment with a primary index) and seskupeni (id_hrace, Stul,
// Kolo, Body, Skore; no index).
//   autocommit posts   300 seatings inserted through a dataset, each
//                      committed; SQLite: INSERT in autocommit (target <= 1.5x)
//   7,650 posts        a tournament's seatings (510 players, 15 rounds)
//                      in one transaction; SQLite: INSERTs between BEGIN and
//                      COMMIT (target <= 3x)
//   round window       a seating dataset filtered on Kolo = 3 (510 of the
//                      7,650 records) with the lookup field Jmeno: open,
//                      then First to the last record (target <= 50 ms)
//   locate             10,000 Locates of a random player id on the unique
//                      index; SQLite: SELECT ... WHERE id = ? (target <= 1.5x)
// Each figure is the best of three runs.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/best_of.h"
#include "bench/sqlite_peer.h"
#include "db/access/session/database.h"
#include "db/access/table/table.h"
#include "platform/locale_profile.h"

namespace {

using namespace kelvorin;

constexpr int kPlayers = 510;
constexpr int kRounds = 15;
constexpr int kAutocommitPosts = 300;
constexpr int kLocates = 10000;
constexpr int kRuns = 3;

double Best(const std::function<void()>& setup, const std::function<void()>& work) {
  return bench::BestOf(kRuns, setup, work);
}

int64_t volatile g_sink = 0;

// --- The engine ---

class EngineRun {
 public:
  explicit EngineRun(const std::string& path) {
    std::filesystem::remove(path);
    database_.SetDatabaseFileName(path);
    database_.SetDatabaseName("turnaj");
    database_.CreateDatabase();
    database_.Open();
    players_.SetDatabaseName("turnaj");
    players_.SetTableName("hraci");
    players_.DeclaredFieldDefs().Add("Jmeno", ftString, 20);
    players_.DeclaredFieldDefs().Add("Rating", ftInteger);
    players_.DeclaredFieldDefs().Add("id", ftAutoInc);
    players_.IndexDefs().Add("I_id", "id", ixPrimary);
    players_.CreateTable();
    players_.SetIndexName("I_id");
    players_.Open();
    database_.StartTransaction();
    for (int i = 0; i < kPlayers; ++i) {
      players_.Insert();
      players_.FieldByName("Jmeno").SetAsString("Hrac " + std::to_string(i));
      players_.FieldByName("Rating").SetAsInteger(1500 + i);
      players_.Post();
    }
    database_.Commit();
    seatings_.SetDatabaseName("turnaj");
    seatings_.SetTableName("seskupeni");
    for (const char* name : {"id_hrace", "Stul", "Kolo", "Body", "Skore"}) {
      seatings_.DeclaredFieldDefs().Add(name, ftInteger);
    }
  }
  ~EngineRun() {
    seatings_.Close();
    players_.Close();
  }

  void EmptySeatings() {
    seatings_.Close();
    seatings_.CreateTable();
    seatings_.Open();
  }
  void Seat(int player, int round) {
    seatings_.Insert();
    seatings_.FieldByName("id_hrace").SetAsInteger(player + 1);
    seatings_.FieldByName("Stul").SetAsInteger(player / 4 + 1);
    seatings_.FieldByName("Kolo").SetAsInteger(round);
    seatings_.FieldByName("Body").SetAsInteger(player % 3);
    seatings_.Post();
  }
  void Begin() { database_.StartTransaction(); }
  void Commit() { database_.Commit(); }
  // Open to the last record of the filtered window; the records seen.
  int RoundWindow(int round) {
    TABSTable window;
    window.SetDatabaseName("turnaj");
    window.SetTableName("seskupeni");
    window.AddField("id_hrace", ftInteger);
    window.AddLookupField("Jmeno", ftString, 20, players_, "id", "Jmeno", "id_hrace");
    window.AddField("Stul", ftInteger);
    window.AddField("Kolo", ftInteger);
    window.AddField("Body", ftInteger);
    window.SetFilter("Kolo = " + std::to_string(round));
    window.SetFiltered(true);
    window.Open();
    int seen = 0;
    for (window.First(); !window.Eof(); window.Next()) {
      g_sink = g_sink + static_cast<int64_t>(window.FieldByName("Jmeno").AsString().size());
      ++seen;
    }
    return seen;
  }
  bool Locate(int32_t id) {
    if (!players_.Locate("id", {TDataVariant::Integer(id)})) return false;
    g_sink = g_sink + players_.FieldByName("Rating").AsInteger();
    return true;
  }

 private:
  TABSDatabase database_;
  TABSTable players_;
  TABSTable seatings_;
};

// --- SQLite ---

using bench::Exec;

class SqliteRun {
 public:
  explicit SqliteRun(const std::string& path) {
    std::filesystem::remove(path);
    db_ = bench::OpenSqlite(path);
    Exec(db_, "CREATE TABLE hraci (id INTEGER PRIMARY KEY AUTOINCREMENT, Jmeno TEXT, Rating INTEGER)");
    Exec(db_, "BEGIN");
    for (int i = 0; i < kPlayers; ++i) {
      Exec(db_, "INSERT INTO hraci (Jmeno, Rating) VALUES ('Hrac " + std::to_string(i) + "', " +
                    std::to_string(1500 + i) + ")");
    }
    Exec(db_, "COMMIT");
    sqlite3_prepare_v2(db_, "SELECT id, Jmeno, Rating FROM hraci WHERE id = ?", -1, &select_, nullptr);
  }
  ~SqliteRun() {
    sqlite3_finalize(select_);
    sqlite3_finalize(insert_);
    sqlite3_close(db_);
  }

  void EmptySeatings() {
    sqlite3_finalize(insert_);
    Exec(db_, "DROP TABLE IF EXISTS seskupeni");
    Exec(db_, "CREATE TABLE seskupeni (id_hrace INTEGER, Stul INTEGER, Kolo INTEGER, Body INTEGER, Skore INTEGER)");
    sqlite3_prepare_v2(db_, "INSERT INTO seskupeni (id_hrace, Stul, Kolo, Body) VALUES (?, ?, ?, ?)", -1, &insert_,
                       nullptr);
  }
  void Seat(int player, int round) {
    sqlite3_bind_int(insert_, 1, player + 1);
    sqlite3_bind_int(insert_, 2, player / 4 + 1);
    sqlite3_bind_int(insert_, 3, round);
    sqlite3_bind_int(insert_, 4, player % 3);
    if (sqlite3_step(insert_) != SQLITE_DONE) std::abort();
    sqlite3_reset(insert_);
  }
  void Begin() { Exec(db_, "BEGIN"); }
  void Commit() { Exec(db_, "COMMIT"); }
  bool Locate(int32_t id) {
    sqlite3_bind_int(select_, 1, id);
    const bool found = sqlite3_step(select_) == SQLITE_ROW;
    if (found) g_sink = g_sink + sqlite3_column_int(select_, 2) + sqlite3_column_bytes(select_, 1);
    sqlite3_reset(select_);
    return found;
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* select_ = nullptr;
};

template <typename Run>
std::vector<double> Measure(Run& run) {
  std::vector<double> figures;
  figures.push_back(Best([&] { run.EmptySeatings(); },
                         [&] {
                           for (int i = 0; i < kAutocommitPosts; ++i) run.Seat(i % kPlayers, 1 + i / kPlayers);
                         }));
  const auto tournament = [&] {
    run.Begin();
    for (int round = 1; round <= kRounds; ++round) {
      for (int player = 0; player < kPlayers; ++player) run.Seat(player, round);
    }
    run.Commit();
  };
  figures.push_back(Best([&] { run.EmptySeatings(); }, tournament));
  std::mt19937 random(7);
  figures.push_back(Best([] {}, [&] {
    for (int i = 0; i < kLocates; ++i) {
      if (!run.Locate(static_cast<int32_t>(random() % kPlayers) + 1)) std::abort();
    }
  }));
  return figures;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  std::vector<double> engine;
  std::vector<double> sqlite;
  double window = 0;
  int seen = 0;
  {
    EngineRun run((dir / "dataset_bench.kdb").string());
    engine = Measure(run);
    window = Best([] {}, [&] { seen = run.RoundWindow(3); });
  }
  {
    SqliteRun run((dir / "dataset_bench.sqlite").string());
    sqlite = Measure(run);
  }
  const char* names[] = {"autocommitted posts (per post)", "7,650 posts in one transaction",
                         "locate on the id (10,000)"};
  const double per[] = {kAutocommitPosts, 1, 1};
  const double targets[] = {1.5, 3.0, 1.5};
  std::printf("%-34s %12s %12s %8s %8s\n", "work", "engine ms", "sqlite ms", "ratio", "target");
  for (size_t i = 0; i < engine.size(); ++i) {
    std::printf("%-34s %12.3f %12.3f %8.2f %8.1f\n", names[i], engine[i] * 1000 / per[i], sqlite[i] * 1000 / per[i],
                engine[i] / sqlite[i], targets[i]);
  }
  std::printf("%-34s %12.2f %12s %8s %8s\n", "round window (510 of 7,650) ms", window * 1000, "-", "-", "50 ms");
  if (seen != kPlayers) std::printf("round window saw %d records, not %d\n", seen, kPlayers);
  std::filesystem::remove(dir / "dataset_bench.kdb");
  std::filesystem::remove(dir / "dataset_bench.sqlite");
  return 0;
}
