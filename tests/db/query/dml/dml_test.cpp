// INSERT, UPDATE, DELETE and the transaction statements.
#include <gtest/gtest.h>

#include "db/query/dml/dml_errors.h"
#include "tests/db/query/dml/dml_test_support.h"

namespace kelvorin::testing {
namespace {

class DataStatementTest : public DMLTest {
 protected:
  void SetUp() override {
    DMLTest::SetUp();
    Run("CREATE TABLE hraci (id AUTOINC, Jmeno VARCHAR(10), Rating INTEGER DEFAULT 1500, PRIMARY KEY (id))");
  }
};

struct StatementCase {
  std::string text;
  int64_t affected;
  std::vector<std::string> rows;  // SELECT * FROM hraci afterwards
};

TEST_F(DataStatementTest, StatementsChangeTheirRowsAndCountThem) {
  const std::vector<StatementCase> cases = {
      {"INSERT INTO hraci (Jmeno, Rating) VALUES ('Novak', 1600)", 1, {"1|Novak|1600"}},
      {"INSERT INTO hraci VALUES (7, 'Adam', 1400)", 1, {"1|Novak|1600", "7|Adam|1400"}},
      {"INSERT INTO hraci (Jmeno) VALUES ('Eva')", 1, {"1|Novak|1600", "7|Adam|1400", "8|Eva|1500"}},
      {"INSERT INTO hraci", 1, {"1|Novak|1600", "7|Adam|1400", "8|Eva|1500", "9|NULL|1500"}},
      {"INSERT INTO hraci DEFAULT VALUES", 1,
       {"1|Novak|1600", "7|Adam|1400", "8|Eva|1500", "9|NULL|1500", "10|NULL|1500"}},
      {"DELETE FROM hraci WHERE Jmeno IS NULL", 2, {"1|Novak|1600", "7|Adam|1400", "8|Eva|1500"}},
      {"INSERT INTO hraci VALUES (NULL, 'Petr')", 1, {"1|Novak|1600", "7|Adam|1400", "8|Eva|1500", "11|Petr|1500"}},
      {"UPDATE hraci SET Rating = Rating + 10 WHERE Rating < 1550", 3,
       {"1|Novak|1600", "7|Adam|1410", "8|Eva|1510", "11|Petr|1510"}},
      {"UPDATE hraci SET Jmeno = Rating, Rating = id WHERE id = 7", 1,
       {"1|Novak|1600", "7|1410|7", "8|Eva|1510", "11|Petr|1510"}},
      {"UPDATE hraci SET Rating = 0", 4, {"1|Novak|0", "7|1410|0", "8|Eva|0", "11|Petr|0"}},
      {"UPDATE hraci SET Rating = 1 WHERE id > 100", 0, {"1|Novak|0", "7|1410|0", "8|Eva|0", "11|Petr|0"}},
      {"DELETE FROM hraci WHERE id = 8 ORDER BY id", 1, {"1|Novak|0", "7|1410|0", "11|Petr|0"}},
      {"DELETE FROM hraci", 3, {}},
  };
  for (const StatementCase& c : cases) {
    SCOPED_TRACE(c.text);
    int64_t affected = -1;
    EXPECT_EQ(ErrorOf([&] { affected = Exec(c.text); }), "");
    EXPECT_EQ(affected, c.affected);
    EXPECT_EQ(Rows("SELECT * FROM hraci"), c.rows);
  }
}

TEST_F(DataStatementTest, SetValuesComeFromTheRowAsRead) {
  Run("CREATE TABLE p (a INTEGER, b INTEGER)");
  Exec("INSERT INTO p VALUES (1, 2); INSERT INTO p VALUES (3, 4)");
  EXPECT_EQ(Exec("UPDATE p SET a = b, b = a"), 2);
  EXPECT_EQ(Rows("SELECT * FROM p"), (std::vector<std::string>{"2|1", "4|3"}));
}

TEST_F(DataStatementTest, TyposAndHalfStatementsRaiseAndChangeNothing) {
  Exec("INSERT INTO hraci (Jmeno) VALUES ('Novak'); INSERT INTO hraci (Jmeno) VALUES ('Adam')");
  Run("CREATE TABLE dvojice (a INTEGER, b VARCHAR(10))");
  const std::string before = State("hraci") + State("dvojice");
  const std::vector<std::pair<std::string, int32_t>> cases = {
      // Leftover tokens are never a condition, an alias or a tail ignored.
      {"DELETE FROM hraci WEHRE id = 1", 10870},
      {"UPDATE hraci SET Rating = 1 WHERE id = 1 ANDD Rating > 1", 10870},
      {"INSERT INTO hraci VALUES (5, 'a'),(6, 'b')", 10870},
      {"ROLLBACK TO SAVEPOINT s", 10870},
      {"COMMIT WORK NOW", 10870},
      {"START TRANSACTION NOW", 10870},
      {"DELETE hraci", 10910},
      {"DELETE FROM hraci h WHERE h.id = 1", 10870},
      {"DELETE FROM hraci, dvojice", 10870},
      {"UPDATE hraci SET Rating = 1 GROUP BY Rating", 30222},
      {"DELETE FROM hraci WHERE id = 1 HAVING id > 0", 10870},
      {"UPDATE hraci SET Rating = 1 Jmeno = 'x'", 30222},
      {"UPDATE hraci SET Rating = 1,", 30223},
      {"UPDATE hraci SET Rating 1", 30221},
      {"UPDATE hraci Rating = 1", 30220},
      {"START", 30459},
      {"START WORK", 30460},
      // INSERT's separators, its next word and its counts.
      {"INSERT INTO hraci VALUES (1 2 3)", 10900},
      {"INSERT INTO hraci VALUE (1, 'a')", 10870},
      {"INSERT INTO hraci VALUES 1, 'a'", 30214},
      {"INSERT INTO hraci VALUES (1, 'a'", 30059},
      {"INSERT INTO hraci VALUES (1, )", 30357},
      {"INSERT INTO hraci (Jmeno Rating) VALUES ('a', 1)", 30212},
      {"INSERT INTO hraci (Jmeno, Rating)", 30213},
      {"INSERT INTO hraci (Jmeno, Rating) VALUES ('a')", 10901},
      {"INSERT INTO hraci (Jmeno) VALUES ('a', 1)", 10901},
      {"INSERT INTO dvojice (b, a) VALUES (5)", 10901},
      {"INSERT INTO hraci DEFAULT ('a')", 10916},
      {"INSERT hraci VALUES (1)", 30206},
      // Columns are resolved before anything changes.
      {"INSERT INTO hraci (Jmeno, jmeno) VALUES ('a', 'b')", 10903},
      {"INSERT INTO hraci (Jmno) VALUES ('a')", 10902},
      {"INSERT INTO hraci VALUES (1, 'a', 2, 3)", 10904},
      {"UPDATE hraci SET Rating = 1, rating = 2", 10903},
      {"UPDATE hraci SET Ratin = 1", 10902},
      {"UPDATE hraci SET Rating = Ratin + 1", 30115},
      {"DELETE FROM hraci WHERE Ratin = 1", 30115},
      {"INSERT INTO hraci (Jmeno) SELECT Jmeno, Rating FROM hraci", 10905},
      {"INSERT INTO hraci SELECT Jmeno AS Prijmeni FROM hraci", 10906},
      {"INSERT INTO hraci SELECT Jmeno, Jmeno FROM hraci", 10906},
      // Values convert through the values layer or the statement fails.
      {"INSERT INTO hraci (Jmeno) VALUES ('Bartolomej Novak')", 10920},
      {"UPDATE hraci SET Jmeno = 'Bartolomej Novak' WHERE id = 2", 10920},
      {"INSERT INTO hraci (Rating) VALUES ('vysoky')", -1},
      {"UPDATE hraci SET Rating = Jmeno", -1},
      {"INSERT INTO hraci (id) VALUES (1)", -1},
  };
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE(text);
    const int32_t raised = CodeOf(text);
    if (code < 0) {
      EXPECT_NE(raised, 0);
    } else {
      EXPECT_EQ(raised, code);
    }
    EXPECT_EQ(State("hraci") + State("dvojice"), before);
  }
}

TEST_F(DataStatementTest, ARefusedValueOrRowNamesItsFieldOrConstraintWithOneCode) {
  Run("CREATE TABLE u (a INTEGER NOT NULL, b INTEGER, UNIQUE INDEX ub (b))");
  Exec("INSERT INTO u VALUES (1, 1); INSERT INTO hraci (Jmeno) VALUES ('Eva')");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"INSERT INTO u VALUES (2, 1)", "Duplicate found. - Native error: 30320"},
      {"INSERT INTO u (b) VALUES (2)", "cannot be null - Native error: 30026"},
      {"UPDATE u SET a = NULL", "cannot be null - Native error: 30026"},
      {"UPDATE hraci SET Rating = 1, Jmeno = 'Bartolomej Novak'",
       "Value too long for field 'Jmeno' (at most 10) - Native error: 10920"},
  };
  for (const auto& [text, ending] : cases) {
    SCOPED_TRACE(text);
    const std::string message = ErrorOf([&] { Exec(text); });
    ASSERT_GE(message.size(), ending.size());
    EXPECT_EQ(message.substr(message.size() - ending.size()), ending) << message;
  }
}

TEST_F(DataStatementTest, AKeyUpdatedBeyondTheCounterMovesItOn) {
  Exec("INSERT INTO hraci (Jmeno) VALUES ('a'); INSERT INTO hraci (Jmeno) VALUES ('b')");
  struct CounterCase {
    std::string statements;
    bool fails;
    std::string next_id;  // of the INSERT that follows
  };
  const std::vector<CounterCase> cases = {
      {"UPDATE hraci SET id = id + 10", false, "13"},
      {"UPDATE hraci SET id = 5 WHERE id = 13", false, "14"},
      {"UPDATE hraci SET id = 100", true, "15"},
      {"START TRANSACTION; UPDATE hraci SET id = 200 WHERE id = 5; ROLLBACK", false, "16"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const CounterCase& c = cases[i];
    SCOPED_TRACE(c.statements);
    EXPECT_EQ(CodeOf(c.statements) != 0, c.fails);
    const std::string name = "n" + std::to_string(i);
    EXPECT_EQ(CodeOf("INSERT INTO hraci (Jmeno) VALUES ('" + name + "')"), 0);
    EXPECT_EQ(Rows("SELECT id FROM hraci WHERE Jmeno = '" + name + "'"), (std::vector<std::string>{c.next_id}));
  }
}

TEST_F(DataStatementTest, TransactionsKeepOrUndoTheirStatements) {
  EXPECT_EQ(CodeOf("COMMIT"), 20229);
  EXPECT_EQ(CodeOf("ROLLBACK WORK"), 20229);
  Exec("START TRANSACTION; INSERT INTO hraci (Jmeno) VALUES ('Novak'); ROLLBACK");
  EXPECT_TRUE(Rows("SELECT * FROM hraci").empty());
  EXPECT_FALSE(session_->InTransaction());
  Exec("START TRANSACTION; INSERT INTO hraci (Jmeno) VALUES ('Adam'); COMMIT WORK FLUSH");
  EXPECT_EQ(Rows("SELECT Jmeno FROM hraci"), (std::vector<std::string>{"Adam"}));
  Exec("START TRANSACTION");
  EXPECT_NE(CodeOf("START TRANSACTION"), 0);
  EXPECT_TRUE(session_->InTransaction());
  Exec("UPDATE hraci SET Rating = 1");
  // A failed statement undoes itself alone; the transaction goes on.
  EXPECT_NE(CodeOf("INSERT INTO hraci (id, Jmeno) VALUES (2, 'Eva'); INSERT INTO hraci (id) VALUES (2)"), 0);
  EXPECT_TRUE(session_->InTransaction());
  Exec("INSERT INTO hraci (Jmeno) VALUES ('Petr'); COMMIT");
  EXPECT_EQ(Rows("SELECT Jmeno, Rating FROM hraci"),
            (std::vector<std::string>{"Adam|1", "Eva|1500", "Petr|1500"}));
}

TEST_F(DataStatementTest, RowsChangeOnceWhateverIndexTheyMoveIn) {
  Run("CREATE TABLE k (id AUTOINC, k INTEGER, PRIMARY KEY (id), INDEX ik (k))");
  for (int i = 1; i <= 50; ++i) Exec("INSERT INTO k (k) VALUES (" + std::to_string(i) + ")");
  for (const std::string tail : {"", " ORDER BY k", " ORDER BY k DESC"}) {
    SCOPED_TRACE(tail);
    const std::vector<std::string> old_rows = Rows("SELECT id, k + 100 FROM k ORDER BY id");
    EXPECT_EQ(Exec("UPDATE k SET k = k + 100 WHERE k > 0" + tail), 50);
    EXPECT_EQ(Rows("SELECT id, k FROM k ORDER BY id"), old_rows);
  }
  // A transient clash of a unique key fails the whole statement.
  Run("CREATE TABLE u (k INTEGER UNIQUE)");
  Exec("INSERT INTO u VALUES (1); INSERT INTO u VALUES (2); INSERT INTO u VALUES (3)");
  EXPECT_NE(CodeOf("UPDATE u SET k = k + 1"), 0);
  EXPECT_EQ(Rows("SELECT k FROM u"), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(DataStatementTest, InsertSelectCopiesByNameOrByListPosition) {
  Exec("INSERT INTO hraci (Jmeno, Rating) VALUES ('Novak', 1600); INSERT INTO hraci (Jmeno, Rating) VALUES ('Adam', 1400)");
  EXPECT_EQ(Exec("INSERT INTO hraci (Jmeno, Rating) SELECT Jmeno, Rating + 1 FROM hraci"), 2);
  EXPECT_EQ(Exec("INSERT INTO hraci SELECT Jmeno FROM hraci WHERE Rating < 1500"), 2);
  EXPECT_EQ(Rows("SELECT * FROM hraci"),
            (std::vector<std::string>{"1|Novak|1600", "2|Adam|1400", "3|Novak|1601", "4|Adam|1401", "5|Adam|1500",
                                      "6|Adam|1500"}));
  Run("CREATE TABLE jmena (x VARCHAR(10), y INTEGER)");
  EXPECT_EQ(Exec("INSERT INTO jmena (y, x) SELECT id, Jmeno FROM hraci WHERE id < 3"), 2);
  EXPECT_EQ(Rows("SELECT * FROM jmena"), (std::vector<std::string>{"Novak|1", "Adam|2"}));
  // Reading the table it fills, a statement sees it as it was.
  EXPECT_EQ(Exec("INSERT INTO jmena SELECT * FROM jmena"), 2);
  EXPECT_EQ(Exec("INSERT INTO jmena SELECT * FROM jmena"), 4);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM jmena"), (std::vector<std::string>{"8"}));
}

// Two multi-user connections to the test's file, each with a list of open
// databases of its own: two processes' views of the file. Lock waits only
// count their sleeps.
class TwoConnectionsTest : public DataStatementTest {
 protected:
  void SetUp() override {
    DataStatementTest::SetUp();
    session_->Disconnect();
    TABSSessionSettings settings;
    settings.file_name = Path();
    settings.multi_user = true;
    settings.lock_pacing = {[this](int32_t) { ++sleeps_; }, [](int32_t) { return 0; }};
    first_ = std::make_unique<TABSLocalSession>(settings, first_list_);
    second_ = std::make_unique<TABSLocalSession>(settings, second_list_);
    first_->Connect();
    second_->Connect();
  }

  void TearDown() override {
    second_.reset();
    first_.reset();
    DataStatementTest::TearDown();
  }

  // The committed rows, read through the test's own session.
  std::vector<std::string> RowsAfter() {
    second_->Disconnect();
    first_->Disconnect();
    session_->Connect();
    return Rows("SELECT * FROM hraci");
  }

  int sleeps_ = 0;
  TABSOpenDatabases first_list_;
  TABSOpenDatabases second_list_;
  std::unique_ptr<TABSLocalSession> first_;
  std::unique_ptr<TABSLocalSession> second_;
};

TEST_F(TwoConnectionsTest, StatementsOfTwoMultiUserConnectionsReleaseTheirLocks) {
  EXPECT_EQ(ExecOn(*first_, "INSERT INTO hraci (Jmeno) VALUES ('Novak'); INSERT INTO hraci (Jmeno) VALUES ('Adam')"), 2);
  EXPECT_EQ(ExecOn(*second_, "UPDATE hraci SET Rating = Rating + 1"), 2);
  EXPECT_EQ(ExecOn(*first_, "START TRANSACTION; UPDATE hraci SET Rating = Rating + 1 WHERE id = 1; COMMIT"), 1);
  EXPECT_EQ(ExecOn(*second_, "DELETE FROM hraci WHERE Rating = 1501"), 1);
  EXPECT_EQ(ExecOn(*first_, "INSERT INTO hraci (Jmeno) SELECT Jmeno FROM hraci"), 1);
  EXPECT_EQ(RowsAfter(), (std::vector<std::string>{"1|Novak|1502", "3|Novak|1500"}));
}

// A statement that meets another connection's open transaction waits its
// turn, then fails whole; after the commit it runs over the committed rows.
TEST_F(TwoConnectionsTest, AStatementBlockedByAnotherConnectionsTransactionChangesNothing) {
  EXPECT_EQ(ExecOn(*first_, "INSERT INTO hraci (Jmeno) VALUES ('Novak'); INSERT INTO hraci (Jmeno) VALUES ('Adam')"), 2);
  EXPECT_EQ(ExecOn(*first_, "START TRANSACTION; UPDATE hraci SET Rating = 1 WHERE id = 1"), 1);
  for (const char* text : {"UPDATE hraci SET Rating = Rating + 1", "DELETE FROM hraci",
                           "INSERT INTO hraci (Jmeno) VALUES ('Cerny')"}) {
    SCOPED_TRACE(text);
    sleeps_ = 0;
    EXPECT_NE(ErrorOf([&] { ExecOn(*second_, text); }).find("locked"), std::string::npos);
    EXPECT_GT(sleeps_, 0);
  }
  ExecOn(*first_, "COMMIT");
  EXPECT_EQ(ExecOn(*second_, "UPDATE hraci SET Rating = Rating + 1"), 2);
  EXPECT_EQ(RowsAfter(), (std::vector<std::string>{"1|Novak|2", "2|Adam|1501"}));
}

TEST_F(DataStatementTest, ParametersOfARewrittenStatementSurviveRepeatedRuns) {
  Exec("INSERT INTO hraci (Jmeno) VALUES ('Novak')");
  TABSSQLProcessor processor(context_);
  processor.SetSQL("UPDATE hraci SET Jmeno = :a WHERE id = :b");
  for (const std::string name : {"Adam", "Eva", "Petr"}) {
    processor.Params().Clear();
    TABSSQLParam& a = processor.Params().AddParam();
    a.SetName("a");
    static_cast<TABSVariant&>(a).SetString(name);
    TABSSQLParam& b = processor.Params().AddParam();
    b.SetName("b");
    static_cast<TABSVariant&>(b).SetInteger(1);
    processor.Run(false);
    EXPECT_EQ(processor.RowsAffected(), 1);
    EXPECT_EQ(Rows("SELECT Jmeno FROM hraci"), (std::vector<std::string>{name}));
  }
}

}  // namespace
}  // namespace kelvorin::testing
