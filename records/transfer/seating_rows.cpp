#include "records/transfer/seating_rows.h"

#include <algorithm>
#include <climits>
#include <map>
#include <utility>

#include "pairing/text_conversion.h"
#include "records/records_error.h"

namespace records {

using kelvorin::TABSTable;
using kelvorin::TField;

namespace {

std::string RangeText(int64_t low, int64_t high) { return std::to_string(low) + ".." + std::to_string(high); }

std::string ValueText(const std::optional<int32_t>& value) { return value ? std::to_string(*value) : "NULL"; }

// A cell as the integer field stores it: empty text is NULL, a whole number
// is kept, anything else stops the transfer before a record is touched.
std::optional<int32_t> CellValue(const std::string& text, const char* field, int32_t player, int32_t round) {
  if (text.empty()) return std::nullopt;
  if (const std::optional<int32_t> value = pairing::ParseInt(text)) return value;
  throw RecordsError("Hrac " + std::to_string(player) + ", kolo " + std::to_string(round) + ": '" + text +
                     "' is not a valid integer value for field '" + field + "'");
}

std::optional<int32_t> FieldValue(const TField& field) {
  if (field.IsNull()) return std::nullopt;
  return field.AsInteger();
}

[[noreturn]] void RefuseSeating(const StoredSeating& seating, const std::string& fault) {
  throw RecordsError("Zaznam " + std::to_string(seating.number) + " tabulky seskupeni (id_hrace " +
                     ValueText(seating.player) + ", Kolo " + ValueText(seating.round) + "): " + fault);
}

void CheckSeating(const StoredSeating& seating, int32_t players) {
  if (!seating.player) RefuseSeating(seating, "chybi cislo hrace");
  if (players == 0) RefuseSeating(seating, "tabulka hraci je prazdna");
  if (*seating.player < 1 || *seating.player > players) {
    RefuseSeating(seating, "cislo hrace neni v rozsahu " + RangeText(1, players));
  }
  if (!seating.round) RefuseSeating(seating, "chybi cislo kola");
  if (*seating.round < 1 || *seating.round > TData::kMaxRound) {
    RefuseSeating(seating, "cislo kola neni v rozsahu " + RangeText(1, TData::kMaxRound));
  }
}

// "3, 4, 10..200": runs of three or more numbers as a range.
std::string NumbersText(const std::vector<int32_t>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size();) {
    size_t end = i + 1;
    while (end < numbers.size() && numbers[end] == numbers[end - 1] + 1) ++end;
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    if (end - i >= 3) {
      add(RangeText(numbers[i], numbers[end - 1]));
    } else {
      for (size_t k = i; k < end; ++k) add(std::to_string(numbers[k]));
    }
    i = end;
  }
  return text;
}

// Every number up to the highest must be a grid row with data: a row with
// neither a player nor a seating stops every draw with a conversion error.
void CheckNoGaps(const std::vector<ListedPlayer>& players, const std::vector<StoredSeating>& seatings,
                 int32_t highest) {
  std::vector<bool> present(static_cast<size_t>(highest) + 1, false);
  for (const ListedPlayer& player : players) present[static_cast<size_t>(player.id)] = true;
  for (const StoredSeating& seating : seatings) present[static_cast<size_t>(*seating.player)] = true;
  std::vector<int32_t> missing;
  for (int32_t id = 1; id <= highest; ++id) {
    if (!present[static_cast<size_t>(id)]) missing.push_back(id);
  }
  if (missing.empty()) return;
  throw RecordsError((missing.size() == 1 ? "Cislo hrace " : "Cisla hracu ") + NumbersText(missing) +
                     " nema hrace ani rozesazeni; hraci musi byt ocislovani 1.." + std::to_string(highest) +
                     " bez mezer");
}

}  // namespace

std::vector<SeatingRow> GridRows(const pairing::PairingEngine& engine) {
  const int32_t rounds = engine.RoundCount();
  const int32_t players = engine.PlayerCount();
  if (rounds < 0 || rounds > TData::kMaxRound) {
    throw RecordsError("Pocet kol " + std::to_string(rounds) + " neni v rozsahu " + RangeText(0, TData::kMaxRound));
  }
  if (players < 0 || players > TData::kMaxPlayerId) {
    throw RecordsError("Pocet hracu " + std::to_string(players) + " neni v rozsahu " +
                       RangeText(0, TData::kMaxPlayerId));
  }
  const pairing::Grid& grid = engine.grid();
  std::vector<SeatingRow> rows;
  rows.reserve(static_cast<size_t>(rounds) * static_cast<size_t>(players));
  for (int32_t round = 1; round <= rounds; ++round) {
    for (int32_t player = 1; player <= players; ++player) {
      SeatingRow row;
      row.player = player;
      row.round = round;
      row.table = CellValue(grid.Cell(2 * round - 1, player), "Stul", player, round);
      row.result = CellValue(grid.Cell(2 * round, player), "Body", player, round);
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<StoredSeating> ReadStoredSeatings(TABSTable& seatings) {
  std::vector<StoredSeating> stored;
  const TField& player = seatings.FieldByName("id_hrace");
  const TField& table = seatings.FieldByName("Stul");
  const TField& round = seatings.FieldByName("Kolo");
  const TField& result = seatings.FieldByName("Body");
  const TField& score = seatings.FieldByName("Skore");
  int32_t number = 0;
  for (seatings.First(); !seatings.Eof(); seatings.Next()) {
    stored.push_back({++number, FieldValue(player), FieldValue(round), FieldValue(table), FieldValue(result),
                      FieldValue(score)});
  }
  return stored;
}

std::optional<std::string> ShorterGridQuestion(const pairing::PairingEngine& engine,
                                               const std::vector<StoredSeating>& stored) {
  int32_t rounds = 0;
  int32_t players = 0;
  for (const StoredSeating& seating : stored) {
    rounds = std::max(rounds, seating.round.value_or(0));
    players = std::max(players, seating.player.value_or(0));
  }
  if (engine.RoundCount() >= rounds && engine.PlayerCount() >= players) return std::nullopt;
  return "Tabulka systemu ma " + std::to_string(engine.RoundCount()) + " kol a " +
         std::to_string(engine.PlayerCount()) + " hracu, ulozene rozesazeni ale " + std::to_string(rounds) +
         " kol a " + std::to_string(players) +
         " hracu. Prepsat rozesazeni tabulkou systemu a smazat kola a hrace navic?";
}

void CarryScores(const std::vector<StoredSeating>& stored, std::vector<SeatingRow>& rows) {
  std::map<std::pair<int32_t, int32_t>, int32_t> scores;
  for (const StoredSeating& seating : stored) {
    if (!seating.player || !seating.round) continue;
    const std::pair<int32_t, int32_t> key{*seating.player, *seating.round};
    if (seating.score) {
      scores[key] = *seating.score;
    } else {
      scores.erase(key);
    }
  }
  if (scores.empty()) return;
  for (SeatingRow& row : rows) {
    const auto found = scores.find({row.player, row.round});
    if (found != scores.end()) row.score = found->second;
  }
}

StoredHistory CheckStoredHistory(TData& data, std::optional<int64_t> max_round, std::optional<int64_t> max_player) {
  StoredHistory history;
  if (max_player) {
    if (*max_player < 1 || *max_player > TData::kMaxPlayerId) {
      throw RecordsError("Nejvyssi cislo hrace " + std::to_string(*max_player) + " neni v rozsahu " +
                         RangeText(1, TData::kMaxPlayerId));
    }
    history.players = static_cast<int32_t>(*max_player);
  }
  const std::vector<ListedPlayer> players = data.ListPlayers();
  for (const ListedPlayer& player : players) {
    if (player.id < 1 || player.id > history.players) {
      throw RecordsError("Tabulka hraci: cislo hrace " + std::to_string(player.id) + " neni v rozsahu " +
                         RangeText(1, TData::kMaxPlayerId));
    }
  }
  history.seatings = ReadStoredSeatings(data.SeatingRows());
  for (const StoredSeating& seating : history.seatings) CheckSeating(seating, history.players);
  // Every record is checked, so the highest round is one of them.
  if (max_round) history.rounds = static_cast<int32_t>(*max_round);
  CheckNoGaps(players, history.seatings, history.players);
  return history;
}

void LoadHistory(pairing::PairingEngine& engine, const StoredHistory& history) {
  // Hidden columns too: a cleared shown area would bring old rounds back.
  engine.grid().EmptyRange(INT_MIN, INT_MAX, INT_MIN, INT_MAX);
  engine.SetRoundCount(history.rounds);
  engine.SetPlayerCount(history.players);
  engine.ClearGrid();
  pairing::Grid& grid = engine.grid();
  auto text = [](const std::optional<int32_t>& value) { return value ? std::to_string(*value) : std::string(); };
  for (const StoredSeating& seating : history.seatings) {
    grid.SetCell(2 * *seating.round - 1, *seating.player, text(seating.table));
    grid.SetCell(2 * *seating.round, *seating.player, text(seating.result));
  }
  engine.RefreshCounters();
}

}  // namespace records
