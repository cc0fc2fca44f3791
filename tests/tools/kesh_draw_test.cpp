// kesh-draw: the command-line draw end to end, its input line ends, options
// and errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pairing/text_lines.h"
#include "tests/pairing/engine_fixture.h"
#include "tests/tools/program_runner.h"
#include "tools/kesh-draw/options.h"

namespace {

using tools_test::RunProgram;
using tools_test::WriteFile;

// Players per table number in the column `col` (1-based) of the output.
std::map<std::string, int> TableSizes(const std::string& out, std::size_t col) {
  std::map<std::string, int> sizes;
  for (const std::string& row : pairing::SplitLines(out)) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
      std::size_t tab = row.find('\t', start);
      cells.push_back(row.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (cells.size() >= col) ++sizes[cells[col - 1]];
  }
  return sizes;
}

class KeshDrawTest : public pairing_test::ScratchDirTest {};

TEST_F(KeshDrawTest, DrawsTheBundledExample) {
  tools_test::ProgramResult r =
      RunProgram("kesh-draw", std::string(VESTRUM_SOURCE_DIR) + "/pairing/examples/round3-12players.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find('\n'), std::string::npos);
  EXPECT_EQ(pairing::SplitLines(r.out).size(), 12u);
  EXPECT_EQ(TableSizes(r.out, 7), (std::map<std::string, int>{{"1", 4}, {"2", 4}, {"3", 4}}));
  EXPECT_TRUE(std::filesystem::exists("wm.in"));
}

struct LineEndCase {
  const char* name;
  std::string text;
};

void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }

class KeshDrawLineEndTest : public KeshDrawTest, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(KeshDrawLineEndTest, EveryLineEndGivesTheSameDraw) {
  // Eight players after one round: the same history whatever the line ends.
  WriteFile("history.txt", GetParam().text);
  tools_test::ProgramResult r = RunProgram("kesh-draw", "history.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(pairing::SplitLines(r.out).size(), 8u);
  EXPECT_EQ(TableSizes(r.out, 3), (std::map<std::string, int>{{"1", 4}, {"2", 4}}));
  // Players 1 to 4 met in round 1 and are kept apart.
  std::vector<std::string> rows = pairing::SplitLines(r.out);
  EXPECT_NE(rows[0].substr(4, 1), rows[1].substr(4, 1));
}

std::string EightPlayers(const std::string& end, bool final_end) {
  std::string text;
  for (int p = 1; p <= 8; ++p) {
    text += std::to_string(p <= 4 ? 1 : 2) + "\t" + std::to_string(p % 4);
    if (p < 8 || final_end) text += end;
  }
  return text;
}

INSTANTIATE_TEST_SUITE_P(Cases, KeshDrawLineEndTest,
                         ::testing::Values(LineEndCase{"Cr", EightPlayers("\r", true)},
                                           LineEndCase{"CrLf", EightPlayers("\r\n", true)},
                                           LineEndCase{"Lf", EightPlayers("\n", true)},
                                           LineEndCase{"LfNoFinal", EightPlayers("\n", false)},
                                           LineEndCase{"CrNoFinal", EightPlayers("\r", false)}),
                         [](const auto& info) { return info.param.name; });

TEST_F(KeshDrawTest, ReadsStandardInputAndDrawsTwos) {
  tools_test::ProgramResult r = RunProgram("kesh-draw", "--twos", EightPlayers("\n", true));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TableSizes(r.out, 3),
            (std::map<std::string, int>{{"1", 2}, {"2", 2}, {"3", 2}, {"4", 2}}));
}

struct ErrorCase {
  const char* name;
  std::string arguments;
  std::string input;
  std::string error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class KeshDrawErrorTest : public KeshDrawTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(KeshDrawErrorTest, PrintsTheMessageAndExitsWithOne) {
  tools_test::ProgramResult r = RunProgram("kesh-draw", GetParam().arguments, GetParam().input);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.substr(0, GetParam().error.size()), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeshDrawErrorTest,
    ::testing::Values(
        ErrorCase{"NoRows", "", "", "Žádná data. Načtěte data a zkuste to znovu.\n"},
        ErrorCase{"MissingResult", "", "1\t\n1\t1\n2\t1\n2\t1\n",
                  "Nezadaný výsledek, končím párování. Doplňte výsledky a zkuste to znovu.\n"},
        ErrorCase{"BadTable", "", "1\t1\nx\t1\n", "'x' is not a valid integer value\n"},
        ErrorCase{"BadByes", "--byes two", "1\t1\n1\t1\n", "'two' is not a valid integer value\n"},
        ErrorCase{"MissingFile", "no-such-history.txt", "", "Cannot open file \"no-such-history.txt\"."},
        ErrorCase{"Directory", ".", "", "Cannot read file \".\". Is a directory\n"},
        ErrorCase{"UnknownOption", "--fours", "", "unknown option --fours\nusage: kesh-draw"}),
    [](const auto& info) { return info.param.name; });

TEST_F(KeshDrawTest, AnOutputThatCannotBeWrittenIsAnError) {
  WriteFile("history.txt", "1\t1\n1\t1\n");
  int status = std::system(
      (std::string(VESTRUM_BIN_DIR) + "/kesh-draw --twos history.txt >/dev/full 2>err.txt").c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(tools_test::ReadFile("err.txt"), "Cannot write the drawn grid. No space left on device\n");
}

TEST_F(KeshDrawTest, MissingResultsAsZero) {
  tools_test::ProgramResult r =
      RunProgram("kesh-draw", "--missing-as-zero", "1\t\n1\t1\n2\t1\n2\t1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TableSizes(r.out, 3), (std::map<std::string, int>{{"1", 4}}));
}

// Under a locale with a decimal comma, results are read and written with the
// comma, and a point is no number there.
TEST_F(KeshDrawTest, ResultsFollowTheUserLocale) {
  const std::string locales = (dir_ / "locales").string();
  std::filesystem::create_directory(locales);
  if (std::system(("localedef -i cs_CZ -f UTF-8 " + locales + "/cs_CZ.UTF-8 >/dev/null 2>&1").c_str()) != 0) {
    GTEST_SKIP() << "no Czech locale can be built here";
  }
  ::setenv("LOCPATH", locales.c_str(), 1);
  ::setenv("LC_ALL", "cs_CZ.UTF-8", 1);
  tools_test::ProgramResult comma = RunProgram("kesh-draw", "--twos", "1\t2,5\n1\t0,5\n");
  tools_test::ProgramResult point = RunProgram("kesh-draw", "--twos", "1\t2.5\n1\t0.5\n");
  ::unsetenv("LC_ALL");
  ::unsetenv("LOCPATH");
  ASSERT_EQ(comma.status, 0) << comma.err;
  EXPECT_EQ(comma.out, "1\t2,5\t1\t\r1\t0,5\t1\t\r");
  EXPECT_EQ(point.status, 1);
  EXPECT_EQ(point.err, "'2.5' is not a valid floating point value\n");
}

TEST_F(KeshDrawTest, ByesAreKeptApart) {
  // Ten players, the last two byes: with no history they sit at different tables.
  std::string input(10, '\n');
  tools_test::ProgramResult r = RunProgram("kesh-draw", "--byes 2 --twos", input);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> rows = pairing::SplitLines(r.out);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_NE(rows[8], rows[9]);
}

struct OptionsCase {
  std::vector<const char*> argv;
  bool ok;
  std::string byes;
  bool twos;
  bool zero;
  std::string file;
  std::string database = "";
};

void PrintTo(const OptionsCase& c, std::ostream* os) {
  for (const char* a : c.argv) *os << a << ' ';
}

class KeshDrawOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(KeshDrawOptionsTest, Parses) {
  const OptionsCase& c = GetParam();
  std::vector<const char*> argv = {"kesh-draw"};
  argv.insert(argv.end(), c.argv.begin(), c.argv.end());
  kesh_draw::Options options;
  std::string error;
  ASSERT_EQ(kesh_draw::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, error), c.ok)
      << error;
  if (!c.ok) return;
  EXPECT_EQ(options.byes, c.byes);
  EXPECT_EQ(options.twos, c.twos);
  EXPECT_EQ(options.missing_as_zero, c.zero);
  EXPECT_EQ(options.file, c.file);
  EXPECT_EQ(options.database, c.database);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeshDrawOptionsTest,
    ::testing::Values(OptionsCase{{}, true, "0", false, false, ""},
                      OptionsCase{{"--byes", "2", "--twos", "h.txt"}, true, "2", true, false, "h.txt"},
                      OptionsCase{{"--byes=-1", "--missing-as-zero"}, true, "-1", false, true, ""},
                      OptionsCase{{"--", "--twos"}, true, "0", false, false, "--twos"},
                      OptionsCase{{"-"}, true, "0", false, false, ""},
                      OptionsCase{{"--byes"}, false, "", false, false, ""},
                      OptionsCase{{"a", "b"}, false, "", false, false, ""},
                      OptionsCase{{"-x"}, false, "", false, false, ""},
                      OptionsCase{{"--database", "t.kdb", "--twos"}, true, "0", true, false, "", "t.kdb"},
                      OptionsCase{{"--database=t.kdb"}, true, "0", false, false, "", "t.kdb"},
                      OptionsCase{{"--database"}, false, "", false, false, ""},
                      OptionsCase{{"--database", "t.kdb", "h.txt"}, false, "", false, false, ""}));

TEST(KeshDrawInputTest, LineEndsOfTheHistory) {
  EXPECT_EQ(kesh_draw::HistoryText("1\t2\n3\t4"), "1\t2\r3\t4\r");
  EXPECT_EQ(kesh_draw::HistoryText("1\r\n2\r\n"), "1\r\n2\r\n");
  EXPECT_EQ(kesh_draw::HistoryText("1\r2"), "1\r2\r");
  EXPECT_EQ(kesh_draw::HistoryText(""), "");
}

}  // namespace
