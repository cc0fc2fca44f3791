// Meeting counts, running scores, pair weights and their errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pairing/pairing_error.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::PairingError;

constexpr char kQuestion[] =
    "Asi jste nezadal výsledky a chcete nalosovat další kolo. Mám ignorovat nevyplněné "
    "výsledky a považovat je za 0 a nalosovat další kolo?";
constexpr char kNoResult[] =
    "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.";

// Expects `fn` to raise a PairingError with exactly `message`.
template <typename Fn>
void ExpectError(Fn fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const PairingError& e) {
    EXPECT_EQ(e.what(), message);
  }
}

class HistoryTest : public EngineTest {};

TEST_F(HistoryTest, WithoutRoundsEveryWeightIsTheBase) {
  engine.SetPlayerCount(10);
  engine.SetByesText("2");
  EXPECT_EQ(engine.MeetingCount(1, 2), 0);
  EXPECT_EQ(engine.ScoreHalfPoints(3), 0);
  EXPECT_EQ(engine.PairWeight(1, 2), 1000000);
  EXPECT_EQ(engine.PairWeight(8, 9), 1000000);  // one bye only
  EXPECT_EQ(engine.PairWeight(9, 10), 982000);  // two byes
  EXPECT_EQ(engine.PairWeight(1, 10), 1000000);
}

struct MeetingCase {
  int meetings;
  long long base_weight;
};

void PrintTo(const MeetingCase& c, std::ostream* os) { *os << c.meetings << " meetings"; }

class MeetingWeightTest : public HistoryTest, public ::testing::WithParamInterface<MeetingCase> {};

TEST_P(MeetingWeightTest, PenaltyDependsOnTheMeetingCount) {
  const int m = GetParam().meetings;
  // Players 1 and 2 share the table in the first m of 6 rounds; equal scores.
  std::vector<std::string> row1, row2;
  for (int k = 1; k <= 6; ++k) {
    row1.insert(row1.end(), {"1", "1"});
    row2.insert(row2.end(), {k <= m ? "1" : "2", "1"});
  }
  SetHistory({row1, row2});
  EXPECT_EQ(engine.MeetingCount(1, 2), m);
  EXPECT_EQ(engine.MeetingCount(2, 1), m);
  EXPECT_EQ(engine.PairWeight(1, 2), GetParam().base_weight);
}

INSTANTIATE_TEST_SUITE_P(Table, MeetingWeightTest,
                         ::testing::Values(MeetingCase{0, 1000000}, MeetingCase{1, 999800},
                                           MeetingCase{2, 999000}, MeetingCase{3, 999000},
                                           MeetingCase{4, 998000}, MeetingCase{5, 997000},
                                           MeetingCase{6, 996000}));

TEST_F(HistoryTest, ByesWeighAsTwentyMeetings) {
  std::vector<std::vector<std::string>> rows(10, std::vector<std::string>{"1", "0"});
  rows[8] = {"1", "3"};  // player 9 is 3 points ahead
  SetHistory(rows);
  engine.SetByesText("2");
  EXPECT_EQ(engine.MeetingCount(9, 10), 20);
  EXPECT_EQ(engine.MeetingCount(8, 9), 1);
  EXPECT_EQ(engine.PairWeight(9, 10), 982000 - 5 * 36);
  engine.SetByesText("0");
  EXPECT_EQ(engine.MeetingCount(9, 10), 1);
}

TEST_F(HistoryTest, TableZeroCountsAsMeeting) {
  SetHistory({{"0", "1"}, {"0", "1"}, {"0", "1"}, {"0", "1"}});
  EXPECT_EQ(engine.MeetingCount(1, 2), 1);
  EXPECT_EQ(engine.TripleMeetings(1, 2, 3), 1);
  EXPECT_EQ(engine.QuadMeetings(1, 2, 3, 4), 1);
}

TEST_F(HistoryTest, TripleAndQuadNeedAllAtOneTable) {
  SetHistory({{"1", "0", "1", "0"}, {"1", "0", "1", "0"}, {"1", "0", "2", "0"},
              {"2", "0", "1", "0"}});
  EXPECT_EQ(engine.TripleMeetings(1, 2, 3), 1);
  EXPECT_EQ(engine.TripleMeetings(1, 2, 4), 1);
  EXPECT_EQ(engine.TripleMeetings(1, 3, 4), 0);
  EXPECT_EQ(engine.QuadMeetings(1, 2, 3, 4), 0);
}

struct ScoreCase {
  const char* result;
  int half_points;
};

void PrintTo(const ScoreCase& c, std::ostream* os) { *os << '"' << c.result << '"'; }

class ScoreTest : public HistoryTest, public ::testing::WithParamInterface<ScoreCase> {};

TEST_P(ScoreTest, ResultsCountInHalfPointsRoundedToEven) {
  SetHistory({{"1", GetParam().result}});
  EXPECT_EQ(engine.ScoreHalfPoints(1), GetParam().half_points);
}

INSTANTIATE_TEST_SUITE_P(Table, ScoreTest,
                         ::testing::Values(ScoreCase{"2.5", 5}, ScoreCase{"2.25", 4},
                                           ScoreCase{"2.75", 6}, ScoreCase{"3", 6},
                                           ScoreCase{"0.25", 0}, ScoreCase{"0.75", 2},
                                           ScoreCase{" 1.5 ", 3}, ScoreCase{"1e1", 20},
                                           ScoreCase{"12.", 24}, ScoreCase{".5", 1}));

TEST_F(HistoryTest, ScoreAddsEveryRound) {
  SetHistory({{"1", "2.5", "2", "1", "3", "0.5"}});
  EXPECT_EQ(engine.ScoreHalfPoints(1), 8);
}

TEST_F(HistoryTest, ResultsUseTheLocaleSeparator) {
  engine.SetDecimalSeparator(',');
  SetHistory({{"1", "2,5"}, {"1", "2.5"}});
  EXPECT_EQ(engine.ScoreHalfPoints(1), 5);
  // Under a comma locale a point is not a number.
  ExpectError([&] { engine.ScoreHalfPoints(2); },
              "'2.5' is not a valid floating point value");
}

TEST_F(HistoryTest, ScoreDifferenceTermOfPairWeight) {
  SetHistory({{"1", "1"}, {"2", "0"}, {"3", "2.5"}});
  EXPECT_EQ(engine.PairWeight(1, 2), 1000000 - 20);  // d = 2
  EXPECT_EQ(engine.PairWeight(2, 1), 1000000 - 20);
  EXPECT_EQ(engine.PairWeight(2, 3), 1000000 - 5 * 25);
}

struct WideScoreCase {
  const char* result;
  long long weight;  // against a player with 0 points, no meetings
};

void PrintTo(const WideScoreCase& c, std::ostream* os) { *os << c.result; }

class WideScoreTest : public HistoryTest, public ::testing::WithParamInterface<WideScoreCase> {};

// Game scores instead of ranking points: weights keep falling with the
// difference and never wrap, however far apart the players are.
TEST_P(WideScoreTest, WeightsAreExactIn64Bits) {
  SetHistory({{"1", GetParam().result}, {"2", "0"}});
  EXPECT_EQ(engine.PairWeight(1, 2), GetParam().weight);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WideScoreTest,
    ::testing::Values(WideScoreCase{"223", 1000000 - 5LL * 446 * 446},
                      WideScoreCase{"224", 1000000 - 5LL * 448 * 448},
                      WideScoreCase{"10362.5", 1000000 - 5LL * 20725 * 20725},
                      WideScoreCase{"10363", 1000000 - 5LL * 20726 * 20726},
                      WideScoreCase{"223607", 1000000 - 1000000000000LL},
                      WideScoreCase{"1000000000", 1000000 - 1000000000000LL}));

TEST_F(HistoryTest, WeightFallsMonotonicallyWithScoreDifference) {
  long long previous = 1000001;
  for (const char* score : {"0", "100", "223", "224", "5000", "20726", "100000", "1e9"}) {
    SetHistory({{"1", score}, {"2", "0"}});
    long long w = engine.PairWeight(1, 2);
    EXPECT_LE(w, previous) << score;
    previous = w;
  }
}

TEST_F(HistoryTest, ScoreSumOutside32BitsIsARangeError) {
  SetHistory({{"1", "1000000000", "1", "1000000000"}});
  ExpectError([&] { engine.ScoreHalfPoints(1); }, "Range check error");
  SetHistory({{"1", "1e300"}});
  ExpectError([&] { engine.ScoreHalfPoints(1); }, "Range check error");
}

TEST_F(HistoryTest, MissingResultAskedOnceAndCountedAsZeroOnYes) {
  SetHistory({{"1", "", "1", "2"}, {"1", "", "1", ""}});
  dialogs.answers = {true};
  EXPECT_EQ(engine.PairWeight(1, 2), 999000 - 5 * 16);  // met twice, d = 4
  EXPECT_EQ(dialogs.questions, std::vector<std::string>{kQuestion});
  EXPECT_TRUE(engine.MissingResultsAsked());
  EXPECT_TRUE(engine.MissingResultsAsZero());
}

TEST_F(HistoryTest, MissingResultOnNoStops) {
  SetHistory({{"1", ""}});
  ExpectError([&] { engine.ScoreHalfPoints(1); }, kNoResult);
  EXPECT_EQ(dialogs.questions.size(), 1u);
}

TEST_F(HistoryTest, MissingResultAsZeroFlagSkipsTheQuestion) {
  SetHistory({{"1", ""}});
  engine.SetMissingResultsAsZero(true);
  EXPECT_EQ(engine.ScoreHalfPoints(1), 0);
  EXPECT_TRUE(dialogs.questions.empty());
}

struct BadCellCase {
  const char* name;
  std::vector<std::vector<std::string>> rows;
  std::string byes;
  std::string message;
};

void PrintTo(const BadCellCase& c, std::ostream* os) { *os << c.name; }

class BadCellTest : public HistoryTest, public ::testing::WithParamInterface<BadCellCase> {};

TEST_P(BadCellTest, PairWeightRaisesTheFirstBadCellInReadingOrder) {
  SetHistory(GetParam().rows);
  engine.SetByesText(GetParam().byes);
  ExpectError([&] { engine.PairWeight(1, 2); }, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCellTest,
    ::testing::Values(
        BadCellCase{"EmptyTable", {{"1", "1"}, {"", "1"}}, "0", "'' is not a valid integer value"},
        BadCellCase{"LetterTable", {{"1", "1"}, {"x1", "1"}}, "0",
                    "'x1' is not a valid integer value"},
        BadCellCase{"TrailingBlankTable", {{"1 ", "1"}, {"1", "1"}}, "0",
                    "'1 ' is not a valid integer value"},
        // Round by round, player a before player b.
        BadCellCase{"EarlierRoundFirst", {{"1", "1", "a", "1"}, {"b", "1", "1", "1"}}, "0",
                    "'b' is not a valid integer value"},
        BadCellCase{"SameRoundFirstPlayer", {{"a", "1"}, {"b", "1"}}, "0",
                    "'a' is not a valid integer value"},
        // Table cells are read before the bye box, the bye box before results.
        BadCellCase{"TableBeforeByes", {{"1", "1"}, {"q", "1"}}, "x",
                    "'q' is not a valid integer value"},
        BadCellCase{"ByesBeforeResults", {{"1", "z"}, {"1", "1"}}, "x",
                    "'x' is not a valid integer value"},
        BadCellCase{"LetterResult", {{"1", "z"}, {"1", "1"}}, "0",
                    "'z' is not a valid floating point value"},
        BadCellCase{"ResultOfAFirst", {{"1", "1", "1", "y"}, {"1", "w", "1", "1"}}, "0",
                    "'y' is not a valid floating point value"}),
    [](const auto& info) { return info.param.name; });

TEST_F(HistoryTest, ACorrectedCellCountsAtTheNextComputation) {
  SetHistory({{"1", "1"}, {"x", "1"}});
  ExpectError([&] { engine.PairWeight(1, 2); }, "'x' is not a valid integer value");
  engine.grid().SetCell(1, 2, "1");
  EXPECT_EQ(engine.PairWeight(1, 2), 999800);
}

}  // namespace
}  // namespace pairing_test
