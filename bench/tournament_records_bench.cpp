// The tournament data module over a full tournament: 510 players and 15
// stored rounds (7,650 seatings), as the players and seating windows use it.
//   LoadAll            a list file of 510 players replacing 510 players
//                      (target <= 100 ms)
//   round list         the seating list filtered on round 3 (510 records)
//                      opened, and walked to its end reading the looked-up
//                      name of each (target <= 50 ms)
//   sort               a click on the "Stůl" title: the indexes replaced by
//                      "userindex" and the filtered list reopened, then its
//                      first 30 rows read (target <= 200 ms)
// Each figure is the best of three runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/best_of.h"
#include "platform/locale_profile.h"
#include "records/data/players_file.h"
#include "records/data/tournament_data.h"

namespace {

using records::TData;

constexpr int kPlayers = 510;
constexpr int kRounds = 15;
constexpr int kRuns = 3;

size_t volatile g_sink = 0;

double Best(const std::function<void()>& setup, const std::function<void()>& work) {
  return bench::BestOf(kRuns, setup, work);
}

void StoreTournament(TData& data, const std::string& list_file) {
  {
    std::ofstream list(list_file, std::ios::binary);
    for (int id = 1; id <= kPlayers; ++id) list << id << ",\"Hr\xE1\xE8 " << id << "\"\r\n";
  }
  records::LoadAll(data, list_file);
  kelvorin::TABSTable& seatings = data.tblSeskupeni();
  data.Database().StartTransaction();
  for (int round = 1; round <= kRounds; ++round) {
    for (int player = 1; player <= kPlayers; ++player) {
      seatings.Insert();
      seatings.FieldByName("id_hrace").SetAsInteger(player);
      seatings.FieldByName("Stul").SetAsInteger((player * 7 + round) % 128 + 1);
      seatings.FieldByName("Kolo").SetAsInteger(round);
      seatings.FieldByName("Body").SetAsInteger(player % 4);
      seatings.Post();
    }
  }
  data.Database().Commit();
  kelvorin::TABSTable& param = data.tblParam();
  param.Edit();
  param.FieldByName("Kolo").SetAsInteger(3);
  param.Post();
}

int WalkRoundList(TData& data, int rows) {
  kelvorin::TABSTable& list = data.tblSeskupeniWin();
  int seen = 0;
  for (list.First(); !list.Eof() && seen < rows; list.Next()) {
    g_sink = g_sink + list.FieldByName("Jmeno").AsString().size();
    ++seen;
  }
  return seen;
}

}  // namespace

int main() {
  platform::SetCurrentLocale(platform::LocaleProfile::Czech());
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tournament_records_bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string list_file = (dir / "hraci.txt").string();
  double load = 0, round_list = 0, sort = 0;
  int seen = 0;
  {
    TData data;
    data.InitNew((dir / TData::kFileName).string());
    StoreTournament(data, list_file);
    load = Best([] {}, [&] { records::LoadAll(data, list_file); });
    round_list = Best([&] { data.tblSeskupeniWin().Close(); },
                      [&] {
                        data.ApplyFilterState(true);
                        data.tblSeskupeniWin().Open();
                        seen = WalkRoundList(data, kPlayers + 1);
                      });
    sort = Best([] {}, [&] {
      data.SortSeatingBy("Stul");
      WalkRoundList(data, 30);
    });
  }
  std::printf("%-44s %10s %10s\n", "work", "ms", "target");
  std::printf("%-44s %10.2f %10s\n", "LoadAll of 510 players", load * 1000, "100");
  std::printf("%-44s %10.2f %10s\n", "round list (510 of 7,650) with names", round_list * 1000, "50");
  std::printf("%-44s %10.2f %10s\n", "sort through userindex, first 30 rows", sort * 1000, "200");
  if (seen != kPlayers) std::printf("round list saw %d records, not %d\n", seen, kPlayers);
  std::filesystem::remove_all(dir);
  return 0;
}
