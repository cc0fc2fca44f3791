// Whole draws through the real cmd and wmatch: the seating is valid, its
// numbering follows the lowest member, and where a brute-force optimum can be
// computed both matchings reach it; beyond that no swap of partners improves
// either matching.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/pairing/engine_fixture.h"
#include "tests/pairing/history_generator.h"
#include "tests/tools/brute_force_matching.h"

namespace pairing_test {
namespace {

using Matrix = std::vector<std::vector<std::int64_t>>;

// The weights list back as a matrix (0-based), checking its shape.
Matrix ParseWeights(const pairing::LineList& list) {
  std::istringstream header(list.at(0));
  int n = 0;
  long long m = 0;
  std::string u;
  header >> n >> m >> u;
  EXPECT_EQ(m, static_cast<long long>(n) * (n - 1) / 2);
  Matrix w(static_cast<std::size_t>(n), std::vector<std::int64_t>(static_cast<std::size_t>(n), 0));
  std::size_t line = 1;
  for (int i = 1; i <= n; ++i) {
    EXPECT_EQ(list.at(line++), std::to_string(n - 1) + " " + std::to_string(i) + " 0 0");
    for (int k = 0; k < n - 1; ++k) {
      std::istringstream edge(list.at(line++));
      int j = 0;
      std::int64_t weight = 0;
      edge >> j >> weight;
      w[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)] = weight;
    }
  }
  return w;
}

// Total weight of the matching list's matching and its edge count.
matching_test::Best MatchedWeight(const pairing::PairingEngine& engine, const Matrix& w) {
  matching_test::Best total;
  for (int v = 1; v <= static_cast<int>(w.size()); ++v) {
    int mate = engine.MateOf(v);
    if (mate > v) {
      total.edges += 1;
      total.weight += w[static_cast<std::size_t>(v - 1)][static_cast<std::size_t>(mate - 1)];
    }
  }
  return total;
}

// Beyond the brute force: no swap of partners between two matched edges, nor
// with the vertex left out, gives more weight. A necessary condition of the
// optimum, which catches a matcher that stops short or reads weights wrongly.
void ExpectNoBetterSwap(const pairing::PairingEngine& engine, const Matrix& w) {
  const int n = static_cast<int>(w.size());
  auto weight = [&](int a, int b) {
    return w[static_cast<std::size_t>(a - 1)][static_cast<std::size_t>(b - 1)];
  };
  std::vector<std::pair<int, int>> edges;
  std::vector<int> single;
  for (int v = 1; v <= n; ++v) {
    int mate = engine.MateOf(v);
    if (mate > v) edges.emplace_back(v, mate);
    if (mate == 0 || mate == v) single.push_back(v);
  }
  ASSERT_LE(single.size(), 1u);
  for (std::size_t i = 0; i < edges.size(); ++i) {
    auto [a, b] = edges[i];
    for (int u : single) {
      EXPECT_GE(weight(a, b), weight(u, a)) << a << "-" << b << " against " << u;
      EXPECT_GE(weight(a, b), weight(u, b)) << a << "-" << b << " against " << u;
    }
    for (std::size_t j = i + 1; j < edges.size(); ++j) {
      auto [c, d] = edges[j];
      const std::int64_t now = weight(a, b) + weight(c, d);
      EXPECT_GE(now, weight(a, c) + weight(b, d)) << a << "-" << b << ", " << c << "-" << d;
      EXPECT_GE(now, weight(a, d) + weight(b, c)) << a << "-" << b << ", " << c << "-" << d;
    }
  }
}

void ExpectOptimal(const pairing::PairingEngine& engine, const Matrix& w) {
  if (w.size() > 20) return ExpectNoBetterSwap(engine, w);
  std::vector<std::vector<bool>> all(w.size(), std::vector<bool>(w.size(), true));
  matching_test::Best best = matching_test::BruteForceMatching(w, all);
  matching_test::Best got = MatchedWeight(engine, w);
  EXPECT_EQ(got.edges, best.edges);
  EXPECT_EQ(got.weight, best.weight);
}

// Tables 1..T with `size` players each, numbered by their lowest player, and
// the rest (fewer than `size`, or `leftover` exactly) at table 0.
void ExpectSeating(const pairing::PairingEngine& engine, int col, int size, int leftover) {
  std::map<int, int> count;
  int next_new = 1;
  for (int r = 1; r <= engine.PlayerCount(); ++r) {
    int table = std::stoi(engine.grid().Cell(col, r));
    if (table != 0 && count[table] == 0) {
      EXPECT_EQ(table, next_new) << "table numbering at player " << r;
      ++next_new;
    }
    ++count[table];
  }
  for (const auto& [table, players] : count) {
    if (table != 0) {
      EXPECT_EQ(players, size) << "table " << table;
    }
  }
  EXPECT_EQ(count.count(0) ? count[0] : 0, leftover);
}

struct DrawCase {
  int players;
  int rounds;
  int byes;
};

void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.players << " players"; }

class DrawTest : public ScratchDirTest, public ::testing::WithParamInterface<DrawCase> {
 protected:
  DrawTest() : engine(dialogs) {}
  ScriptedDialogs dialogs;
  pairing::PairingEngine engine;
};

TEST_P(DrawTest, FoursThroughTheRealProgramsAreValidAndOptimal) {
  const DrawCase& c = GetParam();
  engine.ImportFromText(GenerateHistory(c.players, c.rounds, c.byes, 1000 + c.players));
  engine.SetByesText(std::to_string(c.byes));
  ASSERT_EQ(engine.PlayerCount(), c.players);
  ASSERT_EQ(engine.RoundCount(), c.rounds);
  const int col = 2 * c.rounds + 1;

  engine.ComputeTwoWeights();
  Matrix twos = ParseWeights(engine.WeightsList());
  engine.PairIntoTwos();
  ExpectOptimal(engine, twos);
  ExpectSeating(engine, col, 2, c.players % 2);

  engine.ComputeFourWeights();
  EXPECT_EQ(engine.RoundCount(), c.rounds + 1);
  Matrix fours = ParseWeights(engine.WeightsList());
  engine.GroupIntoFours();
  ExpectOptimal(engine, fours);
  const int pairs = c.players / 2;
  ExpectSeating(engine, col, 4, c.players - 4 * (pairs / 2));
  EXPECT_TRUE(dialogs.questions.empty());
}

INSTANTIATE_TEST_SUITE_P(Fields, DrawTest,
                         ::testing::Values(DrawCase{8, 0, 0}, DrawCase{9, 3, 0},
                                           DrawCase{16, 4, 0}, DrawCase{22, 5, 2},
                                           DrawCase{64, 6, 2}, DrawCase{510, 15, 2}),
                         [](const auto& info) { return std::to_string(info.param.players); });

TEST_F(DrawTest, TwosThroughTheRealProgramsAreValidAndOptimal) {
  engine.ImportFromText(GenerateHistory(13, 4, 1, 77));
  engine.SetByesText("1");
  engine.ComputeTwoWeights();
  Matrix twos = ParseWeights(engine.WeightsList());
  engine.PairIntoTwos();
  ExpectOptimal(engine, twos);
  ExpectSeating(engine, 9, 2, 1);
}

}  // namespace
}  // namespace pairing_test
