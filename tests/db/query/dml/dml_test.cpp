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

}  // namespace
}  // namespace kelvorin::testing
