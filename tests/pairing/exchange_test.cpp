// The weights list format, the command lines of the exchange, manual mode
// and reading the matching back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pairing/command_prefix.h"
#include "pairing/pairing_error.h"
#include "pairing/text_lines.h"
#include "platform/process.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::LineList;
using pairing::PairingError;

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ExchangeTest : public EngineTest {};

TEST_F(ExchangeTest, WeightsListForNoVertices) {
  engine.SetPlayerCount(0);
  engine.ComputeTwoWeights();
  EXPECT_EQ(engine.WeightsList(), LineList{"0 0 U"});
}

TEST_F(ExchangeTest, WeightsListForOneVertex) {
  engine.SetPlayerCount(1);
  engine.ComputeTwoWeights();
  EXPECT_EQ(engine.WeightsList(), (LineList{"1 0 U", "0 1 0 0"}));
}

TEST_F(ExchangeTest, WeightsListListsEveryEdgeUnderBothEnds) {
  SetHistory({{"1", "1"}, {"1", "0"}, {"2", "0"}});
  engine.ComputeTwoWeights();
  EXPECT_EQ(engine.WeightsList(),
            (LineList{"3 3 U", "2 1 0 0", "2 999780", "3 999980", "2 2 0 0", "1 999780", "3 1000000",
                      "2 3 0 0", "1 999980", "2 1000000"}));
}

TEST_F(ExchangeTest, ComputeTwoWeightsClearsTheMissingResultFlags) {
  SetHistory({{"1", ""}, {"1", "1"}});
  engine.SetMissingResultsAsked(true);
  engine.SetMissingResultsAsZero(true);
  dialogs.answers = {false};
  EXPECT_EQ(ErrorOf([&] { engine.ComputeTwoWeights(); }),
            "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.");
  EXPECT_EQ(dialogs.questions.size(), 1u);
}

TEST_F(ExchangeTest, AnErrorKeepsTheLinesWrittenBeforeIt) {
  SetHistory({{"1", "0"}, {"1", "0"}, {"x", "0"}});
  EXPECT_EQ(ErrorOf([&] { engine.ComputeTwoWeights(); }), "'x' is not a valid integer value");
  EXPECT_EQ(engine.WeightsList(), (LineList{"3 3 U", "2 1 0 0", "2 999800"}));
}

TEST_F(ExchangeTest, ExchangeTwosSavesRunsAndLoads) {
  engine.SetWeightsList({"2 1 U", "1 1 0 0", "2 5", "1 2 0 0", "1 5"});
  matcher.outputs = {"1 2\r\n2 1\r\n"};
  engine.ExchangeTwos();
  EXPECT_EQ(ReadFile("wm.in"), "2 1 U\r\n1 1 0 0\r\n2 5\r\n1 2 0 0\r\n1 5\r\n");
  EXPECT_EQ(matcher.commands,
            (std::vector<std::string>{"cmd  /c del wm.out", "cmd  /c wmatch wm.in > wm.out"}));
  EXPECT_EQ(engine.MatchingList(), (LineList{"1 2", "2 1"}));
}

TEST_F(ExchangeTest, PrefixChangesOnlyTheTwosCommands) {
  pairing::SetCommandPrefix("/opt/kesh/cmd ");
  engine.SetWeightsList({"0 0 U"});
  matcher.outputs = {"", ""};
  engine.ExchangeTwos();
  engine.ExchangeFours();
  EXPECT_EQ(matcher.commands,
            (std::vector<std::string>{"/opt/kesh/cmd  /c del wm.out",
                                      "/opt/kesh/cmd  /c wmatch wm.in > wm.out",
                                      "cmd /c del wm.out", "cmd /c wmatch wm.in > wm.out"}));
  // Every new engine puts the shared prefix back.
  pairing::PairingEngine another(dialogs);
  EXPECT_EQ(pairing::CommandPrefix(), "cmd ");
}

TEST_F(ExchangeTest, ManualMatchShowsTheCommandsInsteadOfRunningThem) {
  engine.SetManualMatch(true);
  engine.SetWeightsList({"0 0 U"});
  dialogs.on_message = [](const std::string& text) {
    // The user does by hand what the message asks for.
    if (text.find("wmatch") != std::string::npos) std::ofstream("wm.out") << "1 0\n";
  };
  engine.ExchangeFours();
  EXPECT_TRUE(matcher.commands.empty());
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{
                "Prosim provedete manualne akci odpovidajici prikazu: cmd /c del wm.out",
                "Prosim provedete manualne akci odpovidajici prikazu: cmd /c wmatch wm.in > wm.out"}));
  EXPECT_EQ(engine.MatchingList(), LineList{"1 0"});
  EXPECT_EQ(engine.RunCommand("anything"), 0);
}

TEST_F(ExchangeTest, MissingOutputFileIsAnOpenError) {
  engine.SetWeightsList({"0 0 U"});
  EXPECT_EQ(ErrorOf([&] { engine.ExchangeTwos(); }),
            "Cannot open file \"" + platform::WorkingDirectory() +
                "/wm.out\". No such file or directory");
  EXPECT_EQ(engine.MatchingList(), LineList{"PAROVANI"});
}

TEST_F(ExchangeTest, AnUnreadableOutputFileIsAnOpenError) {
  std::filesystem::create_directory("wm.out");
  EXPECT_EQ(ErrorOf([&] { engine.SetMatchingList(pairing::LoadLinesFromFile("wm.out")); }),
            "Cannot open file \"" + platform::WorkingDirectory() + "/wm.out\". Is a directory");
  EXPECT_EQ(engine.MatchingList(), LineList{"PAROVANI"});
}

struct MateCase {
  std::string line;
  std::string expected;  // the mate, or the error text
};

void PrintTo(const MateCase& c, std::ostream* os) { *os << '"' << c.line.substr(0, 20) << '"'; }

class MateOfTest : public EngineTest, public ::testing::WithParamInterface<MateCase> {};

TEST_P(MateOfTest, ReadsTheNumberAfterTheFirstBlank) {
  engine.SetMatchingList({GetParam().line});
  std::string got;
  try {
    got = std::to_string(engine.MateOf(1));
  } catch (const PairingError& e) {
    got = e.what();
  }
  EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MateOfTest,
    ::testing::Values(MateCase{"1 2", "2"}, MateCase{"1 0", "0"}, MateCase{"7", "7"},
                      MateCase{"1  3", "3"}, MateCase{"1 -4", "-4"},
                      MateCase{"1 2 ", "'2 ' is not a valid integer value"},
                      MateCase{"1 ", "'' is not a valid integer value"},
                      MateCase{"1 x", "'x' is not a valid integer value"},
                      MateCase{"1 99999999999", "'99999999999' is not a valid integer value"},
                      MateCase{"1 " + std::string(98, '0') + "12", "1"}));

TEST_F(ExchangeTest, MateOfOutsideTheListIsAnIndexError) {
  engine.SetMatchingList({"1 2", "2 1"});
  EXPECT_EQ(ErrorOf([&] { engine.MateOf(3); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { engine.MateOf(0); }), "List index out of bounds (-1)");
}

}  // namespace
}  // namespace pairing_test
