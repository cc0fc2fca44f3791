// cmd: "/c" command lines with del, redirection, program lookup and the
// exit code passed through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/pairing/engine_fixture.h"
#include "tests/tools/program_runner.h"
#include "tools/cmd/command_line.h"

namespace {

using tools_test::ReadFile;
using tools_test::RunProgram;
using tools_test::WriteFile;

struct ParseCase {
  const char* name;
  std::vector<std::string> words;
  std::vector<std::string> program;
  std::string input;
  std::string output;
  bool append;
  std::string error;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CmdParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CmdParseTest, SplitsRedirectionsOff) {
  const ParseCase& c = GetParam();
  cmd::ParsedCommand parsed = cmd::ParseCommand(c.words);
  EXPECT_EQ(parsed.error, c.error);
  if (!c.error.empty()) return;
  EXPECT_EQ(parsed.words, c.program);
  EXPECT_EQ(parsed.redirection.input.value_or(""), c.input);
  EXPECT_EQ(parsed.redirection.output.value_or(""), c.output);
  EXPECT_EQ(parsed.redirection.append, c.append);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CmdParseTest,
    ::testing::Values(
        ParseCase{"Separate", {"wmatch", "wm.in", ">", "wm.out"}, {"wmatch", "wm.in"}, "", "wm.out", false, ""},
        ParseCase{"Joined", {"wmatch", "wm.in>wm.out"}, {"wmatch", "wm.in"}, "", "wm.out", false, ""},
        ParseCase{"JoinedToFile", {"wmatch", "wm.in", ">wm.out"}, {"wmatch", "wm.in"}, "", "wm.out", false, ""},
        ParseCase{"Append", {"a", ">>", "log"}, {"a"}, "", "log", true, ""},
        ParseCase{"Input", {"a", "<", "in", ">", "out"}, {"a"}, "in", "out", false, ""},
        ParseCase{"NoRedirection", {"del", "wm.out"}, {"del", "wm.out"}, "", "", false, ""},
        ParseCase{"MissingFile", {"a", ">"}, {}, "", "", false, "The syntax of the command is incorrect."},
        ParseCase{"DoubleOperator", {"a", ">", ">", "b"}, {}, "", "", false, "The syntax of the command is incorrect."}),
    [](const auto& info) { return info.param.name; });

class CmdTest : public pairing_test::ScratchDirTest {};

TEST_F(CmdTest, DelRemovesTheFileAndIgnoresAMissingOne) {
  WriteFile("wm.out", "old");
  EXPECT_EQ(RunProgram("cmd", "/c del wm.out").status, 0);
  EXPECT_FALSE(std::filesystem::exists("wm.out"));
  tools_test::ProgramResult again = RunProgram("cmd", "/c del wm.out");
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, "");
}

TEST_F(CmdTest, RunsWmatchBesideItWithRedirection) {
  WriteFile("wm.in", "2 1 U\r\n1 1 0 0\r\n2 5\r\n1 2 0 0\r\n1 5\r\n");
  EXPECT_EQ(RunProgram("cmd", "'/c' wmatch wm.in '>' wm.out").status, 0);
  EXPECT_EQ(ReadFile("wm.out"), "1 2\n2 1\n");
}

TEST_F(CmdTest, TheWorkingDirectoryComesFirst) {
  WriteFile("wmatch", "#!/bin/sh\necho from the working directory\n");
  ::chmod("wmatch", 0755);
  EXPECT_EQ(RunProgram("cmd", "/c wmatch x '>' out.txt").status, 0);
  EXPECT_EQ(ReadFile("out.txt"), "from the working directory\n");
}

TEST_F(CmdTest, PassesTheExitCodeThrough) {
  EXPECT_EQ(RunProgram("cmd", "/c sh -c 'exit 3'").status, 3);
  // wmatch's own failure status reaches the caller too.
  EXPECT_EQ(RunProgram("cmd", "/c wmatch missing.in '>' wm.out").status, 1);
  EXPECT_EQ(ReadFile("wm.out"), "");
}

TEST_F(CmdTest, UnknownProgramAndBadUsage) {
  tools_test::ProgramResult unknown = RunProgram("cmd", "/c no-such-program-here");
  EXPECT_EQ(unknown.status, 127);
  EXPECT_NE(unknown.err.find("'no-such-program-here' is not recognized"), std::string::npos);
  EXPECT_EQ(RunProgram("cmd", "del wm.out").status, 1);
  EXPECT_EQ(RunProgram("cmd", "/c wmatch '>'").status, 1);
}

}  // namespace
