// SELECT statements run whole: each text against its rows (in order where
// the text orders them, else as a multiset) or its error.
#include <gtest/gtest.h>

#include "db/query/sql/sql_errors.h"
#include "tests/db/query/sql/sql_test_support.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;

class SqlSelectTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    MakeTable("hraci", {Field("id", C::Integer), Field("Jmeno", C::String, 20), Field("Body", C::Integer)},
              {{"1", "Novak", "3"},
               {"2", "svoboda", "1"},
               {"3", "Dvorak", nullptr},
               {"4", "novak", "3"},
               {"5", "Cerny", "2"}});
    MakeTable("seskupeni", {Field("Kolo", C::Integer), Field("Hrac", C::Integer)}, {});
  }
};

struct Case {
  std::string text;
  std::vector<std::string> rows;
  // The text orders its rows; otherwise they are compared as a multiset.
  bool ordered = false;
};

TEST_F(SqlSelectTest, SingleTableQueries) {
  const std::vector<Case> cases = {
      {"SELECT MAX(Kolo) as result FROM seskupeni;", {"NULL"}},
      {"SELECT\r\nMAX(id)\r\nas\r\nresult\r\nFROM\r\nhraci;\r\n", {"5"}},
      {"SELECT COUNT(*) FROM hraci WHERE Body = 99", {"0"}},
      {"SELECT id FROM hraci WHERE Body = 3", {"1", "4"}},
      {"SELECT id, Jmeno FROM hraci ORDER BY 2 DESC", {"2|svoboda", "1|Novak", "4|novak", "3|Dvorak", "5|Cerny"}, true},
      {"SELECT Body k FROM hraci WHERE k = 3", {"3", "3"}},
      {"SELECT TOP 2, 2 id FROM hraci ORDER BY id", {"2", "3"}, true},
      {"SELECT id * 10 AS t FROM hraci WHERE id < 3", {"10", "20"}},
      {"SELECT DISTINCT Body FROM hraci", {"NULL", "1", "2", "3"}},
      {"SELECT COUNT(*) AS n, Body FROM hraci GROUP BY Body ORDER BY n DESC, Body", {"2|3", "1|NULL", "1|1", "1|2"}, true},
      {"SELECT Body, SUM(id) FROM hraci GROUP BY Body HAVING SUM(id) > 3", {"3|5", "2|5"}},
      // A FROM column wins over a select-list alias of the same name.
      {"SELECT id AS Body, Body AS id FROM hraci WHERE id = 1", {"1|3"}},
      {"SELECT id FROM hraci WHERE id = 1 UNION SELECT id FROM hraci WHERE id <= 2", {"1", "2"}},
      {"SELECT id FROM hraci WHERE id = 1 UNION ALL SELECT id FROM hraci WHERE id <= 2 ORDER BY 1", {"1", "1", "2"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> rows;
    const std::string error = ErrorOf([&] { rows = Rows(c.text); });
    EXPECT_EQ(error, "");
    EXPECT_EQ(c.ordered ? rows : Sorted(rows), c.ordered ? c.rows : Sorted(c.rows));
  }
}

TEST_F(SqlSelectTest, Errors) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"SELECT * FROM hraci ORDER BY 9", 20243},
      {"SELECT * FROM hraci ORDER BY nic", 30195},
      {"SELECT COUNT(DISTINCT id) FROM hraci", 30102},
      {"SELECT * FROM nic", 10028},
  };
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCode([&] { Rows(text); }), code);
  }
}

TEST_F(SqlSelectTest, HeaderNamesTheColumns) {
  EXPECT_EQ(Query("SELECT id AS a, Jmeno, Body + 1 FROM hraci").header,
            (std::vector<std::string>{"a", "Jmeno", "Expr"}));
}

TEST_F(SqlSelectTest, TwoStatementsRunInOrder) {
  EXPECT_EQ(Rows("SELECT id FROM hraci; SELECT MAX(Body) FROM hraci"), (std::vector<std::string>{"3"}));
}

}  // namespace
}  // namespace kelvorin::testing
