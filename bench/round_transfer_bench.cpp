// "Seskup kolo" over a full tournament: 510 players and 15 stored rounds
// (7,650 seatings), beside SQLite doing the same database work.
//   seatings to grid   the two MAX queries and the 7,650 seatings read into
//                      the grid
//   grid to seatings   the 7,650 seatings read for their scores and replaced
//                      by 8,160 (16 rounds) in one transaction
//   database part      the two together; target <= 10x SQLite's same reads
//                      and one-transaction rewrite
//   whole command      the chain with the draw through cmd and wmatch;
//                      target < 1 s
// Each figure is the best of three runs.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/best_of.h"
#include "bench/sqlite_peer.h"
#include "pairing/pairing_engine.h"
#include "platform/locale_profile.h"
#include "records/data/tournament_data.h"
#include "records/transfer/round_transfer.h"
#include "tests/pairing/history_generator.h"

namespace {

using records::TData;

constexpr int kPlayers = 510;
constexpr int kRounds = 15;
constexpr int kRuns = 3;

class NoDialogs : public pairing::UserDialogs {
 public:
  bool AskYesNo(const std::string&) override { return true; }
  void ShowMessage(const std::string&) override {}
};

// A realistic history with whole-number results, as the seating table
// keeps them.
void LoadGeneratedHistory(pairing::PairingEngine& engine) {
  engine.ImportFromText(pairing_test::GenerateHistory(kPlayers, kRounds, 2, 2024));
  for (int round = 1; round <= kRounds; ++round) {
    for (int player = 1; player <= kPlayers; ++player) {
      const std::string& result = engine.grid().Cell(2 * round, player);
      if (result.find('.') != std::string::npos) {
        engine.grid().SetCell(2 * round, player, result.substr(0, result.find('.')));
      }
    }
  }
}

void StorePlayers(TData& data) {
  std::vector<records::ListedPlayer> players;
  for (int id = 1; id <= kPlayers; ++id) players.push_back({id, "Hrac " + std::to_string(id)});
  data.ReplacePlayers(players);
}

// The grid of 15 rounds with a 16th drawn by hand (tables of four by number).
void AddRound(pairing::PairingEngine& engine) {
  const int round = engine.RoundCount() + 1;
  for (int player = 1; player <= kPlayers; ++player) {
    engine.grid().SetCell(2 * round - 1, player, std::to_string((player - 1) / 4 + 1));
  }
  engine.SetRoundCount(round);
}

struct SqliteFigures {
  double read = 0;
  double write = 0;
};

// The same database work through SQLite: both maxima, the seatings read
// into a grid of texts, then their scores read and the table replaced by
// 16 rounds in one transaction.
SqliteFigures RunSqlite(const std::string& path, const pairing::PairingEngine& history) {
  std::filesystem::remove(path);
  sqlite3* db = bench::OpenSqlite(path);
  bench::Exec(db, "CREATE TABLE hraci (Jmeno TEXT, Rating INTEGER, id INTEGER PRIMARY KEY AUTOINCREMENT);"
                  "CREATE TABLE seskupeni (id_hrace INTEGER, Stul INTEGER, Kolo INTEGER, Body INTEGER, "
                  "Skore INTEGER);");
  bench::Exec(db, "BEGIN");
  for (int id = 1; id <= kPlayers; ++id) {
    bench::Exec(db, "INSERT INTO hraci (Jmeno, id) VALUES ('Hrac " + std::to_string(id) + "', " +
                        std::to_string(id) + ")");
  }
  bench::Exec(db, "COMMIT");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO seskupeni (id_hrace, Stul, Kolo, Body, Skore) VALUES (?, ?, ?, ?, ?)", -1,
                     &insert, nullptr);
  auto write_rounds = [&](const pairing::PairingEngine& grid, int rounds) {
    bench::Exec(db, "BEGIN");
    {
      // The scores are read before the rows go.
      sqlite3_stmt* scores = nullptr;
      sqlite3_prepare_v2(db, "SELECT id_hrace, Kolo, Skore FROM seskupeni", -1, &scores, nullptr);
      while (sqlite3_step(scores) == SQLITE_ROW) {
      }
      sqlite3_finalize(scores);
    }
    bench::Exec(db, "DELETE FROM seskupeni");
    for (int round = 1; round <= rounds; ++round) {
      for (int player = 1; player <= kPlayers; ++player) {
        sqlite3_reset(insert);
        sqlite3_bind_int(insert, 1, player);
        sqlite3_bind_int(insert, 2, std::atoi(grid.grid().Cell(2 * round - 1, player).c_str()));
        sqlite3_bind_int(insert, 3, round);
        const std::string& result = grid.grid().Cell(2 * round, player);
        if (result.empty()) {
          sqlite3_bind_null(insert, 4);
        } else {
          sqlite3_bind_int(insert, 4, std::atoi(result.c_str()));
        }
        sqlite3_bind_null(insert, 5);
        sqlite3_step(insert);
      }
    }
    bench::Exec(db, "COMMIT");
  };
  write_rounds(history, kRounds);

  SqliteFigures figures;
  std::vector<std::vector<std::string>> grid;
  figures.read = bench::BestOf(kRuns, [] {}, [&] {
    long long max_round = 0, max_player = 0;
    for (const char* sql : {"SELECT MAX(Kolo) AS result FROM seskupeni", "SELECT MAX(id) AS result FROM hraci"}) {
      sqlite3_stmt* max = nullptr;
      sqlite3_prepare_v2(db, sql, -1, &max, nullptr);
      if (sqlite3_step(max) == SQLITE_ROW) (max_round == 0 ? max_round : max_player) = sqlite3_column_int64(max, 0);
      sqlite3_finalize(max);
    }
    grid.assign(static_cast<size_t>(max_player) + 1, std::vector<std::string>(2 * max_round + 1));
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, "SELECT id_hrace, Stul, Kolo, Body FROM seskupeni", -1, &rows, nullptr);
    while (sqlite3_step(rows) == SQLITE_ROW) {
      const int player = sqlite3_column_int(rows, 0);
      const int round = sqlite3_column_int(rows, 2);
      auto text = [&](int col) {
        return sqlite3_column_type(rows, col) == SQLITE_NULL ? std::string()
                                                             : std::to_string(sqlite3_column_int(rows, col));
      };
      grid[static_cast<size_t>(player)][static_cast<size_t>(2 * round - 1)] = text(1);
      grid[static_cast<size_t>(player)][static_cast<size_t>(2 * round)] = text(3);
    }
    sqlite3_finalize(rows);
  });
  NoDialogs dialogs;
  pairing::PairingEngine longer(dialogs);
  longer.ImportFromText(history.ExportToText());
  AddRound(longer);
  figures.write = bench::BestOf(kRuns, [&] { write_rounds(history, kRounds); },
                                [&] { write_rounds(longer, kRounds + 1); });
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return figures;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::string bin = VESTRUM_BIN_DIR;
  setenv("PATH", (bin + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "")).c_str(), 1);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "round_transfer_bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);

  NoDialogs dialogs;
  pairing::PairingEngine history(dialogs);
  LoadGeneratedHistory(history);
  double read = 0, write = 0, chain = 0;
  int stored = 0;
  {
    TData data;
    data.InitNew((dir / TData::kFileName).string());
    StorePlayers(data);
    records::GridToSeating(data, &history, {});
    pairing::PairingEngine engine(dialogs);
    auto restore = [&] { records::GridToSeating(data, &history, {}); };
    read = bench::BestOf(kRuns, restore, [&] { records::SeatingToGrid(data, &engine); });
    AddRound(engine);
    write = bench::BestOf(kRuns, restore, [&] { records::GridToSeating(data, &engine, {}); });
    chain = bench::BestOf(kRuns, restore, [&] { records::RoundChain(data, &engine); });
    stored = data.tblSeskupeni().RecordCount();
  }
  const SqliteFigures peer = RunSqlite((dir / "peer.sqlite").string(), history);

  std::printf("%-40s %10s %10s %8s\n", "work", "ms", "SQLite ms", "ratio");
  std::printf("%-40s %10.2f %10.2f %8.2f\n", "seatings to grid (2 MAX, 7,650 read)", read * 1000, peer.read * 1000,
              read / peer.read);
  std::printf("%-40s %10.2f %10.2f %8.2f\n", "grid to seatings (8,160 in 1 tx)", write * 1000, peer.write * 1000,
              write / peer.write);
  std::printf("%-40s %10.2f %10.2f %8.2f   target <= 10\n", "database part", (read + write) * 1000,
              (peer.read + peer.write) * 1000, (read + write) / (peer.read + peer.write));
  std::printf("%-40s %10.2f %10s %8s   target < 1000 ms\n", "whole \"Seskup kolo\" with the draw", chain * 1000,
              "", "");
  if (stored != kPlayers * (kRounds + 1)) std::printf("the chain stored %d seatings, not %d\n", stored,
                                                      kPlayers * (kRounds + 1));
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(dir);
  return 0;
}
