// The grid operations and the clipboard text import and export.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pairing/pairing_engine.h"
#include "pairing/text_lines.h"
#include "tests/pairing/engine_fixture.h"

namespace pairing_test {
namespace {

using pairing::PairingEngine;

class GridTest : public ::testing::Test {
 protected:
  GridTest() : engine(dialogs) {}
  std::vector<std::string> Row(int row, int first_col, int last_col) {
    std::vector<std::string> cells;
    for (int c = first_col; c <= last_col; ++c) cells.push_back(engine.grid().Cell(c, row));
    return cells;
  }
  ScriptedDialogs dialogs;
  PairingEngine engine;
};

TEST_F(GridTest, CreationShowsHeadingsFor32Players) {
  EXPECT_EQ(engine.RoundCount(), 0);
  EXPECT_EQ(engine.PlayerCount(), 32);
  EXPECT_EQ(engine.grid().ColCount(), 15);
  EXPECT_EQ(engine.grid().RowCount(), 33);
  EXPECT_EQ(engine.grid().Cell(0, 0), "");
  EXPECT_EQ(engine.grid().Cell(0, 1), "1");
  EXPECT_EQ(engine.grid().Cell(0, 32), "32");
  EXPECT_EQ(engine.WeightsList(), pairing::LineList{"VAHY"});
  EXPECT_EQ(engine.MatchingList(), pairing::LineList{"PAROVANI"});
  EXPECT_EQ(engine.ByesText(), "0");
}

struct ImportCase {
  const char* name;
  std::string text;
  int players;
  int rounds;
  std::vector<std::vector<std::string>> rows;  // columns 1..4 of rows 1, 2
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.name; }

class ImportTest : public GridTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(ImportTest, ReadsRowsEndedByCarriageReturn) {
  const ImportCase& c = GetParam();
  engine.ImportFromText(c.text);
  EXPECT_EQ(engine.PlayerCount(), c.players);
  EXPECT_EQ(engine.RoundCount(), c.rounds);
  EXPECT_EQ(engine.grid().RowCount(), c.players + 1);
  for (std::size_t r = 0; r < c.rows.size(); ++r) {
    EXPECT_EQ(Row(static_cast<int>(r) + 1, 1, 4), c.rows[r]) << "row " << r + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportTest,
    ::testing::Values(
        ImportCase{"CrLf", "1\t3\t2\t1\r\n2\t1\t1\t2\r\n", 2, 2,
                   {{"1", "3", "2", "1"}, {"2", "1", "1", "2"}}},
        // Without the final line end the second row is written but not
        // counted, and its last value is lost.
        ImportCase{"NoFinalLineEnd", "1\t3\t2\t1\r\n2\t1\t1\t2", 1, 2,
                   {{"1", "3", "2", "1"}, {"2", "1", "1", ""}}},
        ImportCase{"OddCellCount", "1\t2\t3\r", 1, 1, {{"1", "2", "3", ""}}},
        ImportCase{"CellCountOneShort", "1\t2\t3\t4\t5\r", 1, 2, {{"1", "2", "3", "4"}}},
        // A lone LF is not a row end inside the import.
        ImportCase{"LoneLineFeed", "1\t2\n3\t4\n", 32, 0, {{"1", "3", "4", ""}}},
        // Non-kept characters end a value without moving on: 2,5 keeps 5.
        ImportCase{"CommaSplitsUnderPoint", "2,5\t1\r", 1, 1, {{"5", "1", "", ""}}},
        ImportCase{"MinusEndsCell", "-3\t1\r", 1, 1, {{"3", "1", "", ""}}},
        ImportCase{"KeepsBlanksPointsLetters", "a b.5\tZ9\r", 1, 1, {{"a b.5", "Z9", "", ""}}},
        ImportCase{"DiacriticSplits", "ab\xc3\xa9" "cd\t1\r", 1, 1, {{"cd", "1", "", ""}}},
        ImportCase{"EmptyText", "", 32, 0, {{"", "", "", ""}}}),
    [](const auto& info) { return info.param.name; });

TEST_F(GridTest, ImportKeepsTheLocaleDecimalComma) {
  engine.SetDecimalSeparator(',');
  engine.ImportFromText("1\t2,5\t2\t0.5\r");
  EXPECT_EQ(Row(1, 1, 4), (std::vector<std::string>{"1", "2,5", "2", "0.5"}));
}

TEST_F(GridTest, ImportClearsOldContentAndKeepsOldHeadings) {
  engine.grid().SetCell(5, 5, "x");
  engine.SetPlayerCount(1);
  engine.ImportFromText("1\t1\r2\t1\r3\t1\r");
  EXPECT_EQ(engine.grid().Cell(5, 5), "");
  // The headings come from the player count before the import.
  EXPECT_EQ(engine.grid().Cell(0, 1), "1");
  EXPECT_EQ(engine.grid().Cell(0, 2), "");
  EXPECT_EQ(engine.grid().RowCount(), 4);
}

TEST_F(GridTest, SixteenValuesGrowTheShownColumnsTo17) {
  std::string line;
  for (int i = 1; i <= 16; ++i) line += std::to_string(i) + (i < 16 ? "\t" : "\r");
  engine.ImportFromText(line);
  EXPECT_EQ(engine.grid().ColCount(), 17);
  EXPECT_EQ(engine.grid().Cell(16, 1), "16");
  EXPECT_EQ(engine.RoundCount(), 8);
}

TEST_F(GridTest, ExportWritesTabsAndSingleCarriageReturns) {
  engine.ImportFromText("1\t3\t2\t1\r\n2\t1\t1\t2\r\n");
  EXPECT_EQ(engine.ExportToText(), "1\t3\t2\t1\r2\t1\t1\t2\r");
}

TEST_F(GridTest, ExportIncludesColumnsBeyondTheShownOnes) {
  engine.ImportFromText("1\t1\r2\t1\r");
  engine.SetRoundCount(8);
  engine.grid().SetCell(15, 1, "7");
  engine.grid().SetCell(16, 2, "3");
  std::string text = engine.ExportToText();
  EXPECT_EQ(text, "1\t1" + std::string(13, '\t') + "7\t\r2\t1" + std::string(14, '\t') + "3\r");
  // What the export writes reads back unchanged.
  engine.ImportFromText(text);
  EXPECT_EQ(engine.ExportToText(), text);
}

TEST_F(GridTest, ExportWithoutRoundsIsOneCarriageReturnPerPlayer) {
  engine.SetPlayerCount(3);
  EXPECT_EQ(engine.ExportToText(), "\r\r\r");
}

TEST_F(GridTest, FitGridEmptiesUnusedColumnsAndRowsAndWritesHeadings) {
  engine.ImportFromText("1\t1\t2\t2\r1\t1\t2\t2\r1\t1\t2\t2\r");
  engine.SetRoundCount(1);
  engine.SetPlayerCount(2);
  engine.FitGrid();
  EXPECT_EQ(Row(1, 1, 4), (std::vector<std::string>{"1", "1", "", ""}));
  EXPECT_EQ(Row(3, 0, 4), (std::vector<std::string>(5, "")));
  EXPECT_EQ(engine.grid().RowCount(), 4);  // never reduced by FitGrid
  engine.SetPlayerCount(40);
  engine.FitGrid();
  EXPECT_EQ(engine.grid().RowCount(), 41);
  EXPECT_EQ(engine.grid().Cell(0, 40), "40");
}

TEST_F(GridTest, RefreshCountersSetsTheRowCountExactly) {
  engine.SetPlayerCount(5);
  engine.RefreshCounters();
  EXPECT_EQ(engine.grid().RowCount(), 6);
}

TEST_F(GridTest, ClearTableUsesTheRoundCountBeforeResettingIt) {
  engine.ImportFromText("1\t2\r3\t4\r");
  engine.grid().SetCell(20, 1, "hidden");
  engine.ClearTable();
  EXPECT_EQ(engine.RoundCount(), 0);
  EXPECT_EQ(engine.grid().Cell(1, 1), "");
  EXPECT_EQ(engine.grid().Cell(0, 2), "2");
  // Cells outside the shown area are not cleared.
  EXPECT_EQ(engine.grid().Cell(20, 1), "hidden");
}

TEST_F(GridTest, FillZerosWritesTheLatestResultsColumn) {
  engine.ImportFromText("1\t\t2\t\r1\t\t2\t\r");
  engine.FillZeros();
  EXPECT_EQ(Row(1, 1, 4), (std::vector<std::string>{"1", "", "2", "0"}));
  EXPECT_EQ(Row(2, 1, 4), (std::vector<std::string>{"1", "", "2", "0"}));
}

TEST_F(GridTest, FillZerosDoesNothingWithoutRounds) {
  engine.SetPlayerCount(3);
  engine.FitGrid();
  engine.FillZeros();
  EXPECT_EQ(engine.grid().Cell(0, 1), "1");
  EXPECT_EQ(engine.grid().Cell(0, 3), "3");
}

TEST(TextLinesTest, LoneLineFeedsBecomeCarriageReturns) {
  EXPECT_EQ(pairing::LoneLineFeedsToCarriageReturns("a\nb\r\nc\rd\n\n"), "a\rb\r\nc\rd\r\r");
  EXPECT_EQ(pairing::LoneLineFeedsToCarriageReturns("\n"), "\r");
}

TEST(TextLinesTest, SplitLinesAtEveryLineEnd) {
  EXPECT_EQ(pairing::SplitLines("1 2\r\n2 1\n3 0\r4 0"),
            (std::vector<std::string>{"1 2", "2 1", "3 0", "4 0"}));
  EXPECT_EQ(pairing::SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(pairing::SplitLines("").empty());
}

}  // namespace
}  // namespace pairing_test
