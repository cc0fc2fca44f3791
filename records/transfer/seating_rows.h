// The two sides of the round transfer as plain values, and the checks made
// on them before anything changes: the grid's cells converted to seating
// rows, the stored seatings read and checked against the players, and the
// checked history put into the grid.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/access/table/table.h"
#include "pairing/pairing_engine.h"
#include "records/data/tournament_data.h"

namespace records {

// One record of `seskupeni` to be written: a player's table and result in
// a round, and the score typed for that player and round.
struct SeatingRow {
  int32_t player = 0;
  int32_t round = 0;
  std::optional<int32_t> table;
  std::optional<int32_t> result;
  std::optional<int32_t> score;
};

// One record of `seskupeni` as stored; `number` is its place in the table
// (from 1), by which an error names it.
struct StoredSeating {
  int32_t number = 0;
  std::optional<int32_t> player;
  std::optional<int32_t> round;
  std::optional<int32_t> table;
  std::optional<int32_t> result;
  std::optional<int32_t> score;
};

// A checked history: every seating has a player in 1..players and a round
// in 1..rounds.
struct StoredHistory {
  int32_t rounds = 0;
  int32_t players = 0;
  std::vector<StoredSeating> seatings;
};

// The grid's rounds 1..RoundCount of players 1..PlayerCount in round-major
// order. Raises for counters out of range and for the first cell that is
// neither empty nor a whole number, naming the player, the round and the
// text.
std::vector<SeatingRow> GridRows(const pairing::PairingEngine& engine);

// Every record of the cursor, from the first.
std::vector<StoredSeating> ReadStoredSeatings(kelvorin::TABSTable& seatings);

// The Yes/No question when the grid holds fewer rounds or players than the
// stored seatings; none otherwise.
std::optional<std::string> ShorterGridQuestion(const pairing::PairingEngine& engine,
                                               const std::vector<StoredSeating>& stored);

// Gives each row the score stored for its player and round (a later record
// of the same player and round wins).
void CarryScores(const std::vector<StoredSeating>& stored, std::vector<SeatingRow>& rows);

// Reads the seatings and the players' numbers and checks them against the
// two MAX values: the highest player 1..511, every seating's player in
// 1..that and round in 1..1000, every player number up to the highest
// belonging to a player or a seating. Raises naming what is wrong.
StoredHistory CheckStoredHistory(TData& data, std::optional<int64_t> max_round, std::optional<int64_t> max_player);

// Empties the whole grid (shown or not), sets the counters and fills the
// cells of every seating.
void LoadHistory(pairing::PairingEngine& engine, const StoredHistory& history);

}  // namespace records
