// Pairing into twos and grouping into fours, with a scripted matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pairing/pairing_error.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::LineList;

class GroupingTest : public EngineTest {
 protected:
  void Players(int n) {
    engine.SetPlayerCount(n);
    engine.FitGrid();
  }
  // Round 1 drawn into twos: column 1 holds the given pair numbers.
  void PairNumbers(const std::vector<std::string>& pairs) {
    Players(static_cast<int>(pairs.size()));
    for (std::size_t r = 0; r < pairs.size(); ++r) {
      engine.grid().SetCell(1, static_cast<int>(r) + 1, pairs[r]);
    }
    engine.SetRoundCount(1);
  }
};

struct TwosCase {
  const char* name;
  std::vector<int> mates;
  std::vector<std::string> tables;
};

void PrintTo(const TwosCase& c, std::ostream* os) { *os << c.name; }

class TwosNumberingTest : public GroupingTest, public ::testing::WithParamInterface<TwosCase> {};

TEST_P(TwosNumberingTest, TablesFollowTheLowerMember) {
  Players(static_cast<int>(GetParam().mates.size()));
  matcher.QueueMates(GetParam().mates);
  engine.PairIntoTwos();
  EXPECT_EQ(engine.RoundCount(), 1);
  EXPECT_EQ(Column(1), GetParam().tables);
  EXPECT_EQ(Column(2), std::vector<std::string>(GetParam().tables.size(), ""));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwosNumberingTest,
    ::testing::Values(TwosCase{"Crossed", {3, 4, 1, 2}, {"1", "2", "1", "2"}},
                      TwosCase{"FifthUnmatched", {3, 4, 1, 2, 0}, {"1", "2", "1", "2", "0"}},
                      TwosCase{"SelfMate", {2, 1, 3}, {"1", "1", "0"}},
                      // A mate beyond the players opens a table of its own.
                      TwosCase{"MateBeyondPlayers", {9, 3, 2}, {"1", "2", "2"}},
                      TwosCase{"Nested", {4, 3, 2, 1}, {"1", "2", "2", "1"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(GroupingTest, TwiceFromTheSameWeightsFillsTwoColumns) {
  Players(4);
  matcher.QueueMates({2, 1, 4, 3});
  matcher.QueueMates({3, 4, 1, 2});
  engine.PairIntoTwos();
  engine.PairIntoTwos();
  EXPECT_EQ(engine.RoundCount(), 2);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"1", "1", "2", "2"}));
  EXPECT_EQ(Column(3), (std::vector<std::string>{"1", "2", "1", "2"}));
}

TEST_F(GroupingTest, TheEighthRoundDrawnLandsInHiddenColumns) {
  std::vector<std::string> row;
  for (int k = 1; k <= 7; ++k) row.insert(row.end(), {std::to_string(k % 2 + 1), "1"});
  SetHistory({row, row});
  ASSERT_EQ(engine.grid().ColCount(), 15);
  matcher.QueueMates({2, 1});
  engine.PairIntoTwos();
  EXPECT_EQ(engine.RoundCount(), 8);
  EXPECT_EQ(engine.grid().ColCount(), 15);
  EXPECT_EQ(Column(15), (std::vector<std::string>{"1", "1"}));
  std::string exported = engine.ExportToText();
  EXPECT_EQ(exported.substr(exported.find('\r') - 3, 4), "\t1\t\r");
  // Round 8 counts as history for the next draw.
  engine.grid().SetCell(16, 1, "3");
  EXPECT_EQ(engine.ScoreHalfPoints(1), 7 * 2 + 6);
}

TEST_F(GroupingTest, The256thTableIsARangeError) {
  Players(512);
  std::vector<int> mates(512);
  for (int i = 0; i < 512; i += 2) {
    mates[i] = i + 2;
    mates[i + 1] = i + 1;
  }
  matcher.QueueMates(mates);
  EXPECT_EQ(ErrorOf([&] { engine.PairIntoTwos(); }), "Range check error");
  EXPECT_EQ(engine.RoundCount(), 1);
  EXPECT_EQ(engine.grid().Cell(1, 1), "");
}

TEST_F(GroupingTest, NegativeMateIsARangeError) {
  Players(2);
  matcher.QueueMates({2, -1});
  EXPECT_EQ(ErrorOf([&] { engine.PairIntoTwos(); }), "Range check error");
}

TEST_F(GroupingTest, ShortMatchingStopsWithTheRoundAdvanced) {
  Players(3);
  matcher.QueueMates({2, 1});
  EXPECT_EQ(ErrorOf([&] { engine.PairIntoTwos(); }), "List index out of bounds (2)");
  EXPECT_EQ(engine.RoundCount(), 1);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"", "", ""}));
}

TEST_F(GroupingTest, FourWeightsOfEightNewPlayers) {
  PairNumbers({"1", "1", "2", "2", "3", "3", "4", "4"});
  engine.ComputeFourWeights();
  EXPECT_EQ(engine.RoundCount(), 1);
  const LineList& list = engine.WeightsList();
  ASSERT_EQ(list.size(), 1u + 4 * 4);
  EXPECT_EQ(list[0], "4 6 U");
  EXPECT_EQ(list[1], "3 1 0 0");
  EXPECT_EQ(list[2], "2 6000000");
  EXPECT_EQ(list[5], "3 2 0 0");
  EXPECT_EQ(list[6], "1 6000000");
}

TEST_F(GroupingTest, FourWhoSatTogetherLoseTheTripleAndQuadTerms) {
  SetHistory({{"1", "0"}, {"1", "0"}, {"1", "0"}, {"1", "0"}});
  for (int r = 1; r <= 4; ++r) engine.grid().SetCell(3, r, r <= 2 ? "1" : "2");
  engine.SetRoundCount(2);
  engine.ComputeFourWeights();
  EXPECT_EQ(engine.WeightsList(),
            (LineList{"2 1 U", "1 1 0 0", "2 " + std::to_string(6 * 999800 - 160000 - 1000000),
                      "1 2 0 0", "1 " + std::to_string(6 * 999800 - 160000 - 1000000)}));
  EXPECT_EQ(engine.RoundCount(), 2);
}

TEST_F(GroupingTest, FoursNumberingFollowsTheLowerPair) {
  PairNumbers({"1", "1", "2", "2", "3", "3", "4", "4"});
  matcher.QueueMates({3, 4, 1, 2});
  engine.SetWeightsList({"anything"});
  engine.GroupIntoFours();
  EXPECT_EQ(Column(1), (std::vector<std::string>{"1", "1", "2", "2", "1", "1", "2", "2"}));
  EXPECT_EQ(engine.RoundCount(), 1);
}

// The tables of four are held in 8 bits too: with 1024 players the 256th
// table stops the step, as does a negative mate; the column stays as it was.
TEST_F(GroupingTest, FoursRangeErrorsLeaveTheColumn) {
  std::vector<std::string> pairs;
  for (int p = 1; p <= 512; ++p) pairs.insert(pairs.end(), {std::to_string(p), std::to_string(p)});
  std::vector<int> tables_of_pairs(512);
  for (int l = 0; l < 512; l += 2) {
    tables_of_pairs[l] = l + 2;
    tables_of_pairs[l + 1] = l + 1;
  }
  const struct {
    std::vector<int> mates;
    std::string error;
  } cases[] = {{tables_of_pairs, "Range check error"},
               {std::vector<int>{2, 1, -1}, "Range check error"},
               {std::vector<int>{2, 1}, "List index out of bounds (2)"}};
  for (const auto& c : cases) {
    PairNumbers(pairs);
    matcher.QueueMates(c.mates);
    EXPECT_EQ(ErrorOf([&] { engine.GroupIntoFours(); }), c.error);
    EXPECT_EQ(engine.RoundCount(), 1);
    EXPECT_EQ(Column(1), pairs);
  }
}

TEST_F(GroupingTest, PlayerLeftOutOfTheTwosStaysAtTableZero) {
  PairNumbers({"1", "2", "1", "0", "3", "2", "3"});
  engine.ComputeFourWeights();
  EXPECT_EQ(engine.WeightsList()[0], "3 3 U");
  matcher.QueueMates({3, 0, 1});
  engine.GroupIntoFours();
  EXPECT_EQ(Column(1), (std::vector<std::string>{"1", "0", "1", "0", "1", "0", "1"}));
}

struct PairTableCase {
  const char* name;
  std::vector<std::string> column;
  std::string message;
};

void PrintTo(const PairTableCase& c, std::ostream* os) { *os << c.name; }

class PairTableErrorTest : public GroupingTest,
                           public ::testing::WithParamInterface<PairTableCase> {};

TEST_P(PairTableErrorTest, BothFourStepsStopAndChangeNothing) {
  PairNumbers(GetParam().column);
  engine.SetWeightsList({"kept"});
  EXPECT_EQ(ErrorOf([&] { engine.ComputeFourWeights(); }), GetParam().message);
  EXPECT_EQ(engine.RoundCount(), 1);
  EXPECT_EQ(engine.WeightsList(), LineList{"kept"});
  matcher.QueueMates({2, 1});
  EXPECT_EQ(ErrorOf([&] { engine.GroupIntoFours(); }), GetParam().message);
  EXPECT_EQ(Column(1), GetParam().column);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PairTableErrorTest,
    ::testing::Values(
        PairTableCase{"ThreeAtOnePair",
                      {"1", "1", "1", "2"},
                      "Nekorektni parovani do dvojic, u stolu cislo 1jsou  nalosovani vic jak dva hraci!"},
        PairTableCase{"ThreeLeftOver",
                      {"0", "0", "0", "1", "1"},
                      "Nekorektni parovani do dvojic, u stolu cislo 0jsou  nalosovani vic jak dva hraci!"},
        PairTableCase{"PairNumberAbovePairCount", {"1", "1", "3", "3"}, "Range check error"},
        PairTableCase{"NegativePairNumber", {"1", "1", "-1", "2"}, "Range check error"},
        PairTableCase{"NotANumber", {"1", "1", "two", "2"}, "'two' is not a valid integer value"}),
    [](const auto& info) { return info.param.name; });

TEST_F(GroupingTest, IncompletePairStandsForRowZero) {
  // In the first round the missing member weighs like a newcomer.
  PairNumbers({"1", "2", "2", "0"});
  engine.ComputeFourWeights();
  EXPECT_EQ(engine.WeightsList()[2], "2 6000000");
  // With history, row 0 has no table numbers.
  SetHistory({{"1", "0", "1"}, {"1", "0", "2"}, {"2", "0", "2"}, {"2", "0", "0"}});
  engine.SetRoundCount(2);
  EXPECT_EQ(ErrorOf([&] { engine.ComputeFourWeights(); }), "'' is not a valid integer value");
  EXPECT_EQ(engine.RoundCount(), 2);
}

TEST_F(GroupingTest, FourWeightsWithoutADrawnRoundRestoreTheRoundCount) {
  Players(4);
  EXPECT_EQ(ErrorOf([&] { engine.ComputeFourWeights(); }), "'' is not a valid integer value");
  EXPECT_EQ(engine.RoundCount(), 0);
}

TEST_F(GroupingTest, FourWeightsErrorInTheWeightsRestoresTheRoundCount) {
  SetHistory({{"1", "x", "1"}, {"1", "1", "1"}, {"2", "1", "2"}, {"2", "1", "2"}});
  engine.SetRoundCount(2);
  EXPECT_EQ(ErrorOf([&] { engine.ComputeFourWeights(); }),
            "'x' is not a valid floating point value");
  EXPECT_EQ(engine.RoundCount(), 2);
}

}  // namespace
}  // namespace pairing_test
