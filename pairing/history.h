// The history counts of one weights computation: meeting counts, running
// scores and pair weights, read from the grid's rounds 1 to RoundCount.
//
// Each cell is read and converted once per computation and the conversions
// are remembered, but every error is raised exactly where reading cell by cell
// would raise it (first cell in reading order first), and the missing-results
// question is asked at the same moment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pairing/pairing_engine.h"

namespace pairing {

class PairingEngine::History {
 public:
  // Counts rounds 1 to the engine's RoundCount at the time of construction.
  explicit History(PairingEngine& engine);

  std::int32_t MeetingCount(std::int32_t a, std::int32_t b);
  std::int32_t TripleMeetings(std::int32_t a, std::int32_t b, std::int32_t c);
  std::int32_t QuadMeetings(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
  std::int32_t ScoreHalfPoints(std::int32_t a);
  std::int64_t PairWeight(std::int32_t a, std::int32_t b);

 private:
  // One player row's table numbers, converted once.
  struct Row {
    bool loaded = false;
    std::vector<std::int32_t> tables;  // tables[k - 1]: round k
    std::int32_t first_bad_round = 0;  // 0: every table cell is an integer
    bool score_known = false;
    std::int32_t score = 0;
  };

  Row& RowOf(std::int32_t player);
  // Raises the conversion error of the first bad table cell among `rows`
  // read round by round in the given order; does nothing when all are good.
  void CheckTables(std::initializer_list<const Row*> rows, std::initializer_list<std::int32_t> players);
  std::int32_t CountSameTable(std::initializer_list<const Row*> rows) const;
  std::int32_t Byes();
  std::int32_t ComputeScore(std::int32_t player);

  PairingEngine& engine_;
  const std::int32_t rounds_;
  std::vector<Row> rows_;  // players 0 to PlayerCount
  std::unordered_map<std::int32_t, Row> other_rows_;
  bool byes_read_ = false;
  std::optional<std::int32_t> byes_;
};

}  // namespace pairing
