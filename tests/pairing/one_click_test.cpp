// The one-click draw: its sequence, what the view is told, and the round
// taken back when a step fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "pairing/pairing_error.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::DrawMode;
using pairing::PairingError;

class RecordingObserver : public pairing::PairingObserver {
 public:
  void WeightsListVisible(bool visible) override { events.push_back(visible ? "show" : "hide"); }
  void ShowPairingTab() override { events.push_back("tab"); }
  std::vector<std::string> events;
};

class OneClickTest : public EngineTest {
 protected:
  OneClickTest() { engine.SetObserver(&observer); }
  std::string Run(DrawMode mode = DrawMode::kFours) {
    try {
      std::optional<std::string> text = engine.RunOneClick(mode);
      return text ? *text : "(nothing)";
    } catch (const PairingError& e) {
      return std::string("error: ") + e.what();
    }
  }
  RecordingObserver observer;
};

TEST_F(OneClickTest, NoPlayersShowsOnlyTheMessage) {
  engine.SetPlayerCount(0);
  engine.SetWeightsList({"w"});
  EXPECT_EQ(Run(), "(nothing)");
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{"Žádná data. Načtěte data a zkuste to znovu."});
  EXPECT_EQ(engine.RoundCount(), 0);
  EXPECT_EQ(engine.WeightsList(), pairing::LineList{"w"});
  EXPECT_TRUE(matcher.commands.empty());
  EXPECT_TRUE(observer.events.empty());
}

TEST_F(OneClickTest, EightNewPlayersThroughTheRealPrograms) {
  engine.SetCommandRunner(nullptr);
  engine.SetPlayerCount(8);
  engine.FitGrid();
  std::string text = Run();
  EXPECT_EQ(engine.RoundCount(), 1);
  std::vector<std::string> tables = Column(1);
  EXPECT_EQ(std::count(tables.begin(), tables.end(), "1"), 4);
  EXPECT_EQ(std::count(tables.begin(), tables.end(), "2"), 4);
  EXPECT_EQ(tables[0], "1");
  std::string expected;
  for (const std::string& t : tables) expected += t + "\t\r";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(observer.events, (std::vector<std::string>{"hide", "show", "tab"}));
}

TEST_F(OneClickTest, TwosModeStopsAfterThePairing) {
  engine.SetPlayerCount(4);
  engine.FitGrid();
  matcher.QueueMates({3, 4, 1, 2});
  EXPECT_EQ(Run(DrawMode::kTwos), "1\t\r2\t\r1\t\r2\t\r");
  EXPECT_EQ(matcher.commands.size(), 2u);
}

TEST_F(OneClickTest, QuestionCanBeAskedByBothWeightsComputations) {
  SetHistory({{"1", ""}, {"1", "1"}, {"2", "1"}, {"2", "1"}});
  dialogs.answers = {true, true};
  matcher.QueueMates({2, 1, 4, 3});
  matcher.QueueMates({2, 1});
  EXPECT_EQ(Run(), "1\t\t1\t\r1\t1\t1\t\r2\t1\t1\t\r2\t1\t1\t\r");
  EXPECT_EQ(dialogs.questions.size(), 2u);
}

// A draw that fails part-way leaves the grid as it was before the draw.
struct FailureCase {
  const char* name;
  std::vector<bool> answers;                  // missing-results answers
  std::vector<std::vector<int>> matchings;    // wm.out contents in turn
  std::string error;  // the start of the message
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class OneClickFailureTest : public OneClickTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OneClickFailureTest, RoundCountAndNewColumnAreTakenBack) {
  const FailureCase& c = GetParam();
  SetHistory({{"1", "", "7"}, {"1", "1", "8"}, {"2", "1"}, {"2", "1", "9"}});
  engine.grid().SetCell(3, 3, "");
  dialogs.answers.assign(c.answers.begin(), c.answers.end());
  for (const auto& m : c.matchings) matcher.QueueMates(m);
  std::vector<std::string> before = Column(3);
  EXPECT_EQ(Run().substr(0, 7 + c.error.size()), "error: " + c.error);
  EXPECT_EQ(engine.RoundCount(), 1);
  EXPECT_EQ(Column(3), before);
  EXPECT_EQ(observer.events.back(), "show");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OneClickFailureTest,
    ::testing::Values(
        FailureCase{"NoAtFirstQuestion", {false}, {}, "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu."},
        FailureCase{"NoAtSecondQuestion", {true, false}, {{2, 1, 4, 3}},
                    "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu."},
        FailureCase{"ShortTwosMatching", {true}, {{2, 1}}, "List index out of bounds (2)"},
        FailureCase{"BadTwosMatching", {true}, {{1, 1, 1, 1}},
                    "Nekorektni parovani do dvojic, u stolu cislo 0jsou  nalosovani vic jak dva hraci!"},
        FailureCase{"NoFoursMatching", {true, true}, {{2, 1, 4, 3}}, "Cannot open file"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pairing_test
