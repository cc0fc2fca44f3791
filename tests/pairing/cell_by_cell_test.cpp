// The weights computations read every grid cell once, yet must behave exactly
// like reading the grid cell by cell at every count: the same weights, the
// same lines written before an error, the same error, and the missing-results
// question asked at the same moment. A plain cell-by-cell reading written out
// here is the reference, run side by side with the engine on random grids
// sprinkled with bad cells.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pairing/pair_table.h"
#include "pairing/pairing_engine.h"
#include "pairing/pairing_error.h"
#include "pairing/text_conversion.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::Grid;
using pairing::LineList;
using pairing::PairingError;

// Everything a weights computation leaves behind.
struct Outcome {
  LineList lines;
  std::string error;  // empty: finished
  int questions = 0;
  bool asked = false;
  bool as_zero = false;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.lines == b.lines && a.error == b.error && a.questions == b.questions &&
         a.asked == b.asked && a.as_zero == b.as_zero;
}

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << o.lines.size() << " lines";
  if (!o.lines.empty()) *os << " (last \"" << o.lines.back() << "\")";
  *os << ", error \"" << o.error << "\", " << o.questions << " questions, asked " << o.asked
      << ", as zero " << o.as_zero;
}

// The counts of the weights read straight from the grid, every cell at the
// moment it is needed.
class CellByCell {
 public:
  CellByCell(const Grid& grid, std::int32_t rounds, std::int32_t players, std::string byes,
             std::deque<bool> answers)
      : grid_(grid), rounds_(rounds), players_(players), byes_(std::move(byes)),
        answers_(std::move(answers)) {}

  std::int32_t Table(int k, int player) { return pairing::TextToInt(grid_.Cell(2 * k - 1, player)); }

  std::int32_t Meetings(int a, int b) {
    std::int32_t count = 0;
    for (int k = 1; k <= rounds_; ++k) {
      std::int32_t ta = Table(k, a);
      std::int32_t tb = Table(k, b);
      if (ta == tb) ++count;
    }
    std::int32_t byes = pairing::TextToInt(byes_);
    if (a > players_ - byes && b > players_ - byes) count = 20;
    return count;
  }

  std::int32_t Together(const std::vector<int>& players) {
    std::int32_t count = 0;
    for (int k = 1; k <= rounds_; ++k) {
      std::vector<std::int32_t> tables;
      for (int p : players) tables.push_back(Table(k, p));
      bool same = true;
      for (std::int32_t t : tables) same = same && t == tables[0];
      if (same) ++count;
    }
    return count;
  }

  std::int32_t Score(int a) {
    std::int64_t sum = 0;
    for (int k = 1; k <= rounds_; ++k) {
      const std::string& text = grid_.Cell(2 * k, a);
      double result = 0;
      if (text.empty() && !as_zero_) {
        if (asked_) throw PairingError("'' is not a valid floating point value");
        asked_ = true;
        ++questions_;
        bool yes = !answers_.empty() && answers_.front();
        if (!answers_.empty()) answers_.pop_front();
        if (!yes) {
          throw PairingError(
              "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.");
        }
        as_zero_ = true;
      }
      if (!text.empty()) result = pairing::TextToFloat(text, '.');
      sum += static_cast<std::int64_t>(std::nearbyint(result * 2));
      if (sum < INT32_MIN || sum > INT32_MAX) throw PairingError("Range check error");
    }
    return static_cast<std::int32_t>(sum);
  }

  std::int64_t PairWeight(int a, int b) {
    std::int32_t m = Meetings(a, b);
    std::int64_t w = 1000000;
    if (m == 1) w -= 200;
    if (m == 2) w -= 1000;
    if (m >= 3) w -= (m - 2) * std::int64_t{1000};
    __int128 d = std::int64_t{Score(a)} - Score(b);
    __int128 term = 5 * d * d;
    return w - static_cast<std::int64_t>(term < 1000000000000 ? term : 1000000000000);
  }

  std::int64_t FourWeight(int a, int b, int c, int d) {
    std::int64_t w = PairWeight(a, b);
    w += PairWeight(a, c);
    w += PairWeight(a, d);
    w += PairWeight(b, c);
    w += PairWeight(b, d);
    w += PairWeight(c, d);
    std::int64_t s = Together({a, b, c});
    s += Together({a, b, d});
    s += Together({a, c, d});
    s += Together({b, c, d});
    return w - 10000 * s * s - 1000000 * std::int64_t{Together({a, b, c, d})};
  }

  // The weights list for n vertices, as far as it gets.
  Outcome Write(int n, const std::function<std::int64_t(int, int)>& weight) {
    Outcome out;
    try {
      out.lines.push_back(std::to_string(n) + " " + std::to_string(n * (n - 1) / 2) + " U");
      for (int i = 1; i <= n; ++i) {
        out.lines.push_back(std::to_string(n - 1) + " " + std::to_string(i) + " 0 0");
        for (int j = 1; j <= n; ++j) {
          if (j != i) out.lines.push_back(std::to_string(j) + " " + std::to_string(weight(i, j)));
        }
      }
    } catch (const PairingError& e) {
      out.error = e.what();
    }
    out.questions = questions_;
    out.asked = asked_;
    out.as_zero = as_zero_;
    return out;
  }

 private:
  const Grid& grid_;
  const std::int32_t rounds_;
  const std::int32_t players_;
  const std::string byes_;
  std::deque<bool> answers_;
  bool asked_ = false;
  bool as_zero_ = false;
  int questions_ = 0;
};

// A random history of `players` in `rounds` rounds, every cell good or, now
// and then, bad in one of the ways users get them wrong.
class RandomGrid {
 public:
  explicit RandomGrid(std::uint32_t seed) : random_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  void Fill(pairing::PairingEngine& engine, int players, int rounds) {
    static const char* const kTables[] = {"1", "2", "3", " 2", "-1", "0"};
    static const char* const kBadTables[] = {"", "x", "2 ", "1.5", "99999999999"};
    static const char* const kResults[] = {"1", "0", "2.5", "0.25", " 3 ", "1e1", "-1"};
    static const char* const kBadResults[] = {"", "", "z", "2,5", "1e"};
    Grid& grid = engine.grid();
    for (int r = 1; r <= players; ++r) {
      for (int k = 1; k <= rounds; ++k) {
        grid.SetCell(2 * k - 1, r, Below(12) == 0 ? kBadTables[Below(5)] : kTables[Below(6)]);
        grid.SetCell(2 * k, r, Below(8) == 0 ? kBadResults[Below(5)] : kResults[Below(7)]);
      }
    }
    engine.SetPlayerCount(players);
    engine.SetRoundCount(rounds);
    static const char* const kByes[] = {"0", "0", "1", "2", "x", ""};
    engine.SetByesText(kByes[Below(6)]);
  }

  // Pair numbers 1..players/2 for the round after the history, the last
  // player of an odd field at 0; now and then one cell spoilt.
  void FillPairs(Grid& grid, int players, int col) {
    std::vector<int> numbers;
    for (int p = 1; p <= players / 2; ++p) numbers.insert(numbers.end(), {p, p});
    std::shuffle(numbers.begin(), numbers.end(), random_);
    if (players % 2 != 0) numbers.push_back(0);
    for (int r = 1; r <= players; ++r) grid.SetCell(col, r, std::to_string(numbers[r - 1]));
    if (Below(6) == 0) grid.SetCell(col, 1 + Below(players), std::to_string(Below(players / 2 + 2)));
  }

  std::deque<bool> Answers() { return {Below(3) != 0, Below(3) != 0}; }

 private:
  std::mt19937 random_;
};

Outcome EngineOutcome(pairing::PairingEngine& engine, const ScriptedDialogs& dialogs,
                      const std::function<void()>& step) {
  Outcome out;
  try {
    step();
  } catch (const PairingError& e) {
    out.error = e.what();
  }
  out.lines = engine.WeightsList();
  out.questions = static_cast<int>(dialogs.questions.size());
  out.asked = engine.MissingResultsAsked();
  out.as_zero = engine.MissingResultsAsZero();
  return out;
}

TEST(CellByCellTest, TwoWeightsBehaveAsReadingEveryCellAtEveryCount) {
  RandomGrid random(2024);
  int errors = 0;
  for (int trial = 0; trial < 600; ++trial) {
    ScriptedDialogs dialogs;
    pairing::PairingEngine engine(dialogs);
    const int players = 2 + random.Below(8);
    const int rounds = random.Below(5);
    random.Fill(engine, players, rounds);
    dialogs.answers = random.Answers();
    CellByCell reference(engine.grid(), rounds, players, engine.ByesText(), dialogs.answers);

    Outcome expected = reference.Write(
        players, [&](int a, int b) { return reference.PairWeight(a, b); });
    Outcome got = EngineOutcome(engine, dialogs, [&] { engine.ComputeTwoWeights(); });
    ASSERT_EQ(got, expected) << "trial " << trial;
    errors += expected.error.empty() ? 0 : 1;
  }
  // Both the finished and the failing paths were compared.
  EXPECT_GT(errors, 100);
  EXPECT_LT(errors, 550);
}

TEST(CellByCellTest, FourWeightsBehaveAsReadingEveryCellAtEveryCount) {
  RandomGrid random(4048);
  int errors = 0;
  for (int trial = 0; trial < 400; ++trial) {
    ScriptedDialogs dialogs;
    pairing::PairingEngine engine(dialogs);
    const int players = 4 + random.Below(6);
    const int rounds = random.Below(4);
    random.Fill(engine, players, rounds);
    // The round just drawn into twos follows the history.
    random.FillPairs(engine.grid(), players, 2 * rounds + 1);
    engine.SetRoundCount(rounds + 1);
    const std::deque<bool> answers = random.Answers();
    dialogs.answers = answers;
    engine.SetWeightsList({"before"});

    // The pair table is read first; its own errors are tested elsewhere, so
    // only a table that builds is compared weight by weight.
    std::vector<pairing::PairMembers> pairs;
    std::string pair_error;
    try {
      pairs = pairing::BuildPairTable(engine.grid(), 2 * rounds + 1, players);
    } catch (const PairingError& e) {
      pair_error = e.what();
    }
    Outcome got = EngineOutcome(engine, dialogs, [&] { engine.ComputeFourWeights(); });
    EXPECT_EQ(engine.RoundCount(), rounds + 1);
    if (!pair_error.empty()) {
      EXPECT_EQ(got.error, pair_error);
      EXPECT_EQ(got.lines, LineList{"before"});
      continue;
    }
    CellByCell reference(engine.grid(), rounds, players, engine.ByesText(), answers);
    Outcome expected = reference.Write(players / 2, [&](int i, int j) {
      const pairing::PairMembers& p = pairs[static_cast<std::size_t>(i)];
      const pairing::PairMembers& q = pairs[static_cast<std::size_t>(j)];
      return reference.FourWeight(p.first, p.second, q.first, q.second);
    });
    ASSERT_EQ(got, expected) << "trial " << trial;
    errors += expected.error.empty() ? 0 : 1;
  }
  EXPECT_GT(errors, 50);
}

}  // namespace
}  // namespace pairing_test
