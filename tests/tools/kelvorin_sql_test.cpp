// kelvorin sql, run as the built program: results as TAB-separated rows
// under a header, errors with their place and the exit status of scripts,
// the dot commands, statements read from standard input.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/scratch_dir_test.h"
#include "tests/tools/program_runner.h"

namespace {

using tools_test::RunProgram;
using tools_test::WriteFile;

// The shell at a terminal, driven through a pseudo-terminal.
class Terminal {
 public:
  explicit Terminal(const std::string& arguments) {
    const std::string command = "exec " + std::string(VESTRUM_BIN_DIR) + "/kelvorin " + arguments;
    pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (fd_ >= 0) close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool Started() const { return pid_ > 0; }
  void Type(const std::string& text) { ASSERT_EQ(write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  // What the program writes until `text` appears (or ten seconds pass).
  std::string ReadUntil(const std::string& text) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (out.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) break;
      out.append(buffer, static_cast<size_t>(got));
    }
    return out;
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int fd_ = -1;
  pid_t pid_ = -1;
};

class KelvorinSqlTest : public testing_support::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    ASSERT_EQ(RunProgram("kelvorin", "create t.kdb").status, 0);
    ASSERT_EQ(RunProgram("kelvorin", "create-table t.kdb hraci id:INTEGER Jmeno:STRING:20 Body:INTEGER").status, 0);
    // The file the tool loads is in the engine's code page: \xC8 is a capital C with caron.
    WriteFile("h.tsv", "id\tJmeno\tBody\n1\tNovak\t3\n2\tsvoboda\t\n3\t\xC8" "erny\t2\n");
    ASSERT_EQ(RunProgram("kelvorin", "load t.kdb hraci h.tsv").status, 0);
  }
};

TEST_F(KelvorinSqlTest, ResultsAndErrors) {
  struct Case {
    const char* arguments;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"sql t.kdb -c 'SELECT * FROM hraci ORDER BY id DESC'", 0,
       "id\tJmeno\tBody\n3\t\xC4\x8C" "erny\t2\n2\tsvoboda\t\\N\n1\tNovak\t3\n", ""},
      // Each statement shows its rows; text is UTF-8 on both sides.
      {"sql t.kdb -c \"SELECT id FROM hraci WHERE Jmeno = '\xC4\x8C" "ERNY'; SELECT MAX(Body) AS m FROM hraci\"", 0,
       "id\n3\nm\n3\n", ""},
      {"sql t.kdb -c 'SELECT Jmeno FROM hraci WHERE id = :x' --param x=2", 0, "Jmeno\nsvoboda\n", ""},
      {"sql t.kdb -c 'SELECT * FROM hraci garbage more'", 1, "",
       "End of SQL command expected, but 'more' found at line 1, column 29 - Native error: 10870\n"},
      {"sql t.kdb -c 'SELECT id FROM hraci;\nSELECT FROM hraci'", 1, "",
       "Field list expected, but 'FROM' found at line 2, column 8 - Native error: 30164\n"},
      // An error while running names the place of its statement.
      {"sql t.kdb -c 'SELECT * FROM nic'", 1, "",
       "Table not found, table name = nic - Native error: 10028 (in the statement at line 1, column 1)\n"},
      {"sql t.kdb -c 'SELECT id FROM hraci WHERE id = 1;\n  SELECT * FROM nic'", 1, "id\n1\n",
       "Table not found, table name = nic - Native error: 10028 (in the statement at line 2, column 3)\n"},
      {"sql t.kdb -c 'SELECT *' -f x", 2, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto result = RunProgram("kelvorin", c.arguments);
    if (c.status == 2) {
      EXPECT_EQ(result.status, 1);
      EXPECT_NE(result.err.find("usage: kelvorin sql"), std::string::npos) << result.err;
      continue;
    }
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

TEST_F(KelvorinSqlTest, ScriptsStopAtTheFirstError) {
  WriteFile("good.sql", "SELECT COUNT(*) AS n FROM hraci;\n-- a comment\nSELECT id FROM hraci WHERE Body = 2;\n");
  auto result = RunProgram("kelvorin", "sql t.kdb -f good.sql");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "n\n3\nid\n3\n");
  WriteFile("bad.sql", "SELECT id FROM hraci;\n\nSELECT id FROM hraci ORDER BY 9;\nSELECT id FROM hraci;\n");
  result = RunProgram("kelvorin", "sql t.kdb -f bad.sql");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "id\n1\n2\n3\n");
  EXPECT_EQ(result.err,
            "Invalid field number in ORDER BY clause: 9 - Native error: 20243 (in the statement at line 3, column 1)\n");
}

TEST_F(KelvorinSqlTest, ScriptsHoldDotCommandsAndErrorsNameTheScriptsLine) {
  WriteFile("dots.sql", ".tables\nSELECT id FROM hraci WHERE id = 1;\n.schema hraci\nSELECT id\n  FROM hraci WHERE;\n");
  auto result = RunProgram("kelvorin", "sql t.kdb -f dots.sql");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "hraci\nid\n1\nCREATE TABLE hraci (\n  id INTEGER,\n  Jmeno STRING(20),\n  Body INTEGER\n);\n");
  EXPECT_EQ(result.err, "Unexpected end of SQL command found at line 5, column 14 - Native error: 30118\n");
  WriteFile("quit.sql", "SELECT id FROM hraci\n  WHERE id = 3;\n.quit\nSELECT nic FROM hraci;\n");
  result = RunProgram("kelvorin", "sql t.kdb -f quit.sql");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "id\n3\n");
}

TEST_F(KelvorinSqlTest, DataStatementsCountRowsAndAnOpenTransactionIsRolledBack) {
  auto result = RunProgram("kelvorin",
                           "sql t.kdb -c \"UPDATE hraci SET Body = 0 WHERE Body IS NULL; DELETE FROM hraci WHERE id > 1; "
                           "START TRANSACTION; INSERT INTO hraci VALUES (4, 'Eva', 1); COMMIT\"");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "1 rows affected\n2 rows affected\n1 rows affected\n");
  result = RunProgram("kelvorin", "sql t.kdb", "START TRANSACTION;\nDELETE FROM hraci;\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "2 rows affected\n");
  EXPECT_EQ(result.err, "kelvorin: the open transaction was rolled back\n");
  result = RunProgram("kelvorin", "sql t.kdb -c 'SELECT id FROM hraci'");
  EXPECT_EQ(result.out, "id\n1\n4\n");
  result = RunProgram("kelvorin", "sql t.kdb -c 'CREATE INDEX ixJ ON hraci (Jmeno); DROP INDEX hraci.ixJ'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST_F(KelvorinSqlTest, StandardInputWithDotCommands) {
  const auto result = RunProgram("kelvorin", "sql t.kdb",
                                 ".tables\n.schema hraci\nSELECT id\n  FROM hraci\n  WHERE id = 1;\n.quit\nSELECT 1;\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "hraci\nCREATE TABLE hraci (\n  id INTEGER,\n  Jmeno STRING(20),\n  Body INTEGER\n);\nid\n1\n");
  const auto unknown = RunProgram("kelvorin", "sql t.kdb", ".nothing\nSELECT id FROM hraci;\n");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "");
}

TEST_F(KelvorinSqlTest, ExplainShowsTheTree) {
  const auto result = RunProgram("kelvorin", "sql t.kdb --explain -c 'SELECT id FROM hraci WHERE Body > 1'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "table hraci, where [Body] > 1\nid\n1\n3\n");
  // A table joined to itself: its keys are named by the aliases.
  const auto self = RunProgram(
      "kelvorin", "sql t.kdb --explain -c 'SELECT x.id FROM hraci x JOIN hraci y ON x.id = y.id ORDER BY x.id'");
  EXPECT_EQ(self.status, 0) << self.err;
  EXPECT_EQ(self.out,
            "inner join merged on x.id = y.id, sorted by a temporary index on x.id\n  table hraci x\n  table hraci y\n"
            "id\n1\n2\n3\n");
}

TEST_F(KelvorinSqlTest, CtrlCAtThePromptDropsTheStatementBeingTyped) {
  Terminal terminal("sql t.kdb");
  ASSERT_TRUE(terminal.Started());
  ASSERT_NE(terminal.ReadUntil("kelvorin> ").find("kelvorin> "), std::string::npos);
  terminal.Type("SELECT id\n");
  terminal.ReadUntil("...> ");
  terminal.Type("FROM");
  terminal.ReadUntil("FROM");
  terminal.Type("\x03");
  EXPECT_NE(terminal.ReadUntil("kelvorin> ").find("kelvorin> "), std::string::npos);
  terminal.Type("SELECT COUNT(*) AS n FROM hraci;\n");
  EXPECT_NE(terminal.ReadUntil("kelvorin> ").find("n\r\n3\r\n"), std::string::npos);
  // An error is answered at the prompt: leaving afterwards is no failure.
  terminal.Type("SELECT nic FROM hraci;\n");
  EXPECT_NE(terminal.ReadUntil("kelvorin> ").find("Native error"), std::string::npos);
  terminal.Type(".quit\n");
  EXPECT_EQ(terminal.Wait(), 0);
}

}  // namespace
