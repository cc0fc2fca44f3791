// Meeting counts, running scores in half points and the pair weight.
#include "pairing/history.h"

#include <cmath>
#include <cstdlib>

#include "pairing/pairing_error.h"
#include "pairing/text_conversion.h"

namespace pairing {
namespace {

constexpr std::int64_t kBaseWeight = 1000000;
// The score term saturates here, so that every sum over a matching stays far
// inside 64 bits however far apart the scores are.
constexpr std::int64_t kMaxScoreTerm = 1000000000000;
constexpr std::int32_t kByesMeetingCount = 20;

constexpr char kMissingResultQuestion[] =
    "Asi jste nezadal výsledky a chcete nalosovat další kolo. Mám ignorovat nevyplněné "
    "výsledky a považovat je za 0 a nalosovat další kolo?";
constexpr char kMissingResultError[] =
    "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.";

std::int64_t MeetingPenalty(std::int32_t meetings) {
  if (meetings == 1) return 200;
  if (meetings == 2) return 1000;
  if (meetings >= 3) return (std::int64_t{meetings} - 2) * 1000;
  return 0;
}

std::int64_t ScoreTerm(std::int64_t difference) {
  // 5 * 447214^2 > 10^12, and the square of anything larger would overflow.
  if (std::llabs(difference) >= 447214) return kMaxScoreTerm;
  std::int64_t term = 5 * difference * difference;
  return term < kMaxScoreTerm ? term : kMaxScoreTerm;
}

// Wrapping 32-bit subtraction, as the counters' arithmetic does.
std::int32_t WrappingSub(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace

PairingEngine::History::History(PairingEngine& engine)
    : engine_(engine), rounds_(engine.round_count_) {
  std::int64_t players = engine.player_count_;
  if (players >= 0 && players < (1 << 24)) rows_.resize(static_cast<std::size_t>(players) + 1);
}

PairingEngine::History::Row& PairingEngine::History::RowOf(std::int32_t player) {
  Row* row = (player >= 0 && static_cast<std::size_t>(player) < rows_.size())
                 ? &rows_[static_cast<std::size_t>(player)]
                 : &other_rows_[player];
  if (!row->loaded) {
    row->loaded = true;
    std::int32_t rounds = rounds_ > 0 ? rounds_ : 0;
    row->tables.resize(static_cast<std::size_t>(rounds));
    for (std::int32_t k = 1; k <= rounds; ++k) {
      std::optional<std::int32_t> table =
          ParseInt(engine_.grid_.Cell(static_cast<int>(2 * std::int64_t{k} - 1), player));
      if (!table) {
        row->first_bad_round = k;
        break;
      }
      row->tables[static_cast<std::size_t>(k - 1)] = *table;
    }
  }
  return *row;
}

void PairingEngine::History::CheckTables(std::initializer_list<const Row*> rows,
                                         std::initializer_list<std::int32_t> players) {
  std::int32_t worst_round = 0;
  std::int32_t worst_player = 0;
  auto player = players.begin();
  for (const Row* row : rows) {
    std::int32_t bad = row->first_bad_round;
    if (bad != 0 && (worst_round == 0 || bad < worst_round)) {
      worst_round = bad;
      worst_player = *player;
    }
    ++player;
  }
  if (worst_round != 0) {
    ThrowInvalidInteger(
        engine_.grid_.Cell(static_cast<int>(2 * std::int64_t{worst_round} - 1), worst_player));
  }
}

std::int32_t PairingEngine::History::CountSameTable(std::initializer_list<const Row*> rows) const {
  std::int32_t count = 0;
  const Row* first = *rows.begin();
  for (std::size_t k = 0; k < first->tables.size(); ++k) {
    bool same = true;
    for (const Row* row : rows) same = same && row->tables[k] == first->tables[k];
    count += same ? 1 : 0;
  }
  return count;
}

std::int32_t PairingEngine::History::Byes() {
  if (!byes_read_) {
    byes_read_ = true;
    byes_ = ParseInt(engine_.byes_text_);
  }
  if (!byes_) ThrowInvalidInteger(engine_.byes_text_);
  return *byes_;
}

std::int32_t PairingEngine::History::MeetingCount(std::int32_t a, std::int32_t b) {
  const Row& ra = RowOf(a);
  const Row& rb = RowOf(b);
  CheckTables({&ra, &rb}, {a, b});
  std::int32_t count = CountSameTable({&ra, &rb});
  std::int32_t last_regular = WrappingSub(engine_.player_count_, Byes());
  if (a > last_regular && b > last_regular) count = kByesMeetingCount;
  return count;
}

std::int32_t PairingEngine::History::TripleMeetings(std::int32_t a, std::int32_t b,
                                                    std::int32_t c) {
  const Row& ra = RowOf(a);
  const Row& rb = RowOf(b);
  const Row& rc = RowOf(c);
  CheckTables({&ra, &rb, &rc}, {a, b, c});
  return CountSameTable({&ra, &rb, &rc});
}

std::int32_t PairingEngine::History::QuadMeetings(std::int32_t a, std::int32_t b, std::int32_t c,
                                                  std::int32_t d) {
  const Row& ra = RowOf(a);
  const Row& rb = RowOf(b);
  const Row& rc = RowOf(c);
  const Row& rd = RowOf(d);
  CheckTables({&ra, &rb, &rc, &rd}, {a, b, c, d});
  return CountSameTable({&ra, &rb, &rc, &rd});
}

std::int32_t PairingEngine::History::ScoreHalfPoints(std::int32_t a) {
  Row& row = RowOf(a);
  if (!row.score_known) {
    row.score = ComputeScore(a);
    row.score_known = true;
  }
  return row.score;
}

std::int32_t PairingEngine::History::ComputeScore(std::int32_t player) {
  std::int32_t sum = 0;
  for (std::int32_t k = 1; k <= rounds_; ++k) {
    const std::string& text = engine_.grid_.Cell(static_cast<int>(2 * std::int64_t{k}), player);
    double result = 0;
    if (text.empty() && !engine_.missing_results_as_zero_ && !engine_.missing_results_asked_) {
      engine_.missing_results_asked_ = true;
      if (!engine_.dialogs_.AskYesNo(kMissingResultQuestion)) {
        throw PairingError(kMissingResultError);
      }
      engine_.missing_results_as_zero_ = true;
    }
    if (!(text.empty() && engine_.missing_results_as_zero_)) {
      result = TextToFloat(text, engine_.decimal_separator_);
    }
    // Half points, rounded half to even (the default rounding mode).
    double half_points = std::nearbyint(result * 2);
    if (!(std::fabs(half_points) < 9.0e18)) ThrowRangeCheck();
    std::int64_t next = std::int64_t{sum} + static_cast<std::int64_t>(half_points);
    if (next < INT32_MIN || next > INT32_MAX) ThrowRangeCheck();
    sum = static_cast<std::int32_t>(next);
  }
  return sum;
}

std::int64_t PairingEngine::History::PairWeight(std::int32_t a, std::int32_t b) {
  std::int32_t meetings = MeetingCount(a, b);
  std::int64_t weight = kBaseWeight - MeetingPenalty(meetings);
  std::int64_t difference = std::int64_t{ScoreHalfPoints(a)} - ScoreHalfPoints(b);
  return weight - ScoreTerm(difference);
}

// The engine's single-call forms read the grid afresh each time.
std::int32_t PairingEngine::MeetingCount(std::int32_t a, std::int32_t b) {
  return History(*this).MeetingCount(a, b);
}
std::int32_t PairingEngine::TripleMeetings(std::int32_t a, std::int32_t b, std::int32_t c) {
  return History(*this).TripleMeetings(a, b, c);
}
std::int32_t PairingEngine::QuadMeetings(std::int32_t a, std::int32_t b, std::int32_t c,
                                         std::int32_t d) {
  return History(*this).QuadMeetings(a, b, c, d);
}
std::int32_t PairingEngine::ScoreHalfPoints(std::int32_t a) {
  return History(*this).ScoreHalfPoints(a);
}
std::int64_t PairingEngine::PairWeight(std::int32_t a, std::int32_t b) {
  return History(*this).PairWeight(a, b);
}

}  // namespace pairing
