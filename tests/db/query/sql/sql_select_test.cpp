// SELECT statements run whole: each text against its rows (in order where
// the text orders them, else as a multiset) or its error.
#include <gtest/gtest.h>

#include "db/query/sql/sql_errors.h"
#include "db/storage/temporary/temporary_budget.h"
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

using Case = SqlCase;

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
      // A computed item grouped on by its alias.
      {"SELECT Body * 2 AS d, COUNT(*) FROM hraci GROUP BY d", {"6|2", "2|1", "4|1", "NULL|1"}},
      {"SELECT Body AS b, COUNT(*) AS n FROM hraci GROUP BY b ORDER BY n DESC, b", {"3|2", "NULL|1", "1|1", "2|1"}, true},
      {"SELECT id FROM hraci WHERE id = 1 UNION SELECT Body FROM hraci ORDER BY 1 DESC", {"3", "2", "1", "NULL"}, true},
      // A FROM column wins over a select-list alias of the same name.
      {"SELECT id AS Body, Body AS id FROM hraci WHERE id = 1", {"1|3"}},
      {"SELECT id FROM hraci WHERE id = 1 UNION SELECT id FROM hraci WHERE id <= 2", {"1", "2"}},
      {"SELECT id FROM hraci WHERE id = 1 UNION ALL SELECT id FROM hraci WHERE id <= 2 ORDER BY 1", {"1", "1", "2"}, true},
  };
  ExpectRows(cases);
}

TEST_F(SqlSelectTest, Errors) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"SELECT * FROM hraci ORDER BY 9", 20243},
      {"SELECT * FROM hraci ORDER BY nic", 30195},
      {"SELECT COUNT(DISTINCT id) FROM hraci", 30102},
      {"SELECT * FROM nic", 10028},
      // Integer arithmetic raises instead of wrapping around.
      {"SELECT 2147483647 + id FROM hraci", 10891},
      {"SELECT -2147483647 - id - 1 FROM hraci", 10891},
      {"SELECT id * 1073741824 FROM hraci WHERE id = 2", 10891},
      {"SELECT -(id - 2147483647 - 2) FROM hraci WHERE id = 1", 10891},
  };
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCode([&] { Rows(text); }), code);
  }
}

TEST_F(SqlSelectTest, MinAndMaxOfTextsEqualButForCaseFollowTheOrderOfOrderBy) {
  // Texts equal under '=' (case ignored): MIN and MAX must not depend on
  // which row came first.
  MakeTable("up", {Field("n", C::String, 8)}, {{"novak"}, {"Novak"}, {"cerny"}});
  MakeTable("down", {Field("n", C::String, 8)}, {{"Novak"}, {"novak"}, {"cerny"}});
  const std::vector<std::string> ordered = Rows("SELECT n FROM up WHERE n = 'NOVAK' ORDER BY n");
  ASSERT_EQ(ordered.size(), 2u);
  ASSERT_NE(ordered[0], ordered[1]);
  for (const char* table : {"up", "down"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(Rows(std::string("SELECT MIN(n), MAX(n) FROM ") + table + " WHERE n <> 'cerny'"),
              (std::vector<std::string>{ordered[0] + "|" + ordered[1]}));
  }
}

TEST_F(SqlSelectTest, ArithmeticAtTheIntegerLimits) {
  ExpectRows({{"SELECT 2147483646 + id FROM hraci WHERE id = 1", {"2147483647"}},
              {"SELECT -2147483647 - id FROM hraci WHERE id = 1", {"-2147483648"}},
              {"SELECT id * -1073741824 FROM hraci WHERE id = 2", {"-2147483648"}}});
}

TEST_F(SqlSelectTest, ParametersInConditions) {
  struct ParamCase {
    TABSVariant value;
    std::string text;
    std::vector<std::string> rows;
  };
  TABSVariant null_text(TABSStorageType::String);
  null_text.SetNull();
  TABSVariant three;
  three.SetInteger(3);
  TABSVariant yes;
  yes.SetLogical(true);
  const std::vector<ParamCase> cases = {
      {null_text, "SELECT id FROM hraci WHERE :p IS NULL AND id < 3", {"1", "2"}},
      {three, "SELECT id FROM hraci WHERE :p IS NULL", {}},
      {three, "SELECT id FROM hraci WHERE :p IS NOT NULL AND Body = :p", {"1", "4"}},
      {yes, "SELECT id FROM hraci WHERE :p IS NULL OR id = 5", {"5"}},
      {yes, "SELECT id FROM hraci WHERE :p AND id = 5", {"5"}},
  };
  for (const ParamCase& c : cases) {
    SCOPED_TRACE(c.text);
    TABSSQLProcessor processor(context_);
    processor.SetSQL(c.text);
    TABSSQLParam& param = processor.Params().AddParam();
    param.SetName("p");
    static_cast<TABSVariant&>(param) = c.value;
    std::vector<std::string> rows;
    EXPECT_EQ(ErrorOf([&] {
                std::unique_ptr<TABSLocalCursor> cursor = processor.Run();
                rows = ReadCursor(*cursor).rows;
              }),
              "");
    EXPECT_EQ(Sorted(rows), c.rows);
  }
}

TEST_F(SqlSelectTest, BlobColumnsAreCopiedIntoResultsAndRefusedAsKeys) {
  MakeTable("m", {Field("id", C::Integer), Field("note", C::Memo), Field("wide", C::WideMemo)},
            {{"1", "first note", "jedna"}, {"2", nullptr, "dva"}, {"3", "third", nullptr}});
  const std::vector<Case> cases = {
      {"SELECT id, note, wide FROM m ORDER BY id", {"1|first note|jedna", "2|NULL|dva", "3|third|NULL"}, true},
      {"SELECT TOP 1 note FROM m WHERE id > 2", {"third"}},
      {"SELECT a.note, b.wide FROM m a JOIN m b ON a.id = b.id WHERE a.id = 1", {"first note|jedna"}},
      {"SELECT note FROM m WHERE id = 1 UNION ALL SELECT note FROM m WHERE id = 3", {"first note", "third"}},
  };
  ExpectRows(cases);
  // The result keeps its copy when the table's rows go.
  std::unique_ptr<TABSLocalCursor> result;
  {
    TABSSQLProcessor processor(context_);
    processor.SetSQL("SELECT id, note FROM m ORDER BY id DESC");
    result = processor.Run();
  }
  TABSLocalCursor table(*session_, "m");
  table.EmptyTable();
  EXPECT_EQ(ReadCursor(*result).rows, (std::vector<std::string>{"3|third", "2|NULL", "1|first note"}));
  // A sort that spills carries the contents through its run tables.
  std::vector<std::string> texts;
  std::vector<std::vector<const char*>> rows;
  for (int i = 0; i < 1200; ++i) texts.push_back(std::to_string(i));
  for (int i = 0; i < 1200; ++i) rows.push_back({texts[static_cast<size_t>(i)].c_str(), texts[static_cast<size_t>(i)].c_str()});
  MakeTable("many", {Field("id", C::Integer), Field("note", C::Memo)}, rows);
  const int64_t old_limit = TemporaryBudget().Limit();
  TemporaryBudget().SetLimit(TemporaryBudget().Used() + 8 * 1024);
  std::vector<std::string> sorted;
  const std::string error = ErrorOf([&] { sorted = Rows("SELECT id, note FROM many ORDER BY id DESC"); });
  TemporaryBudget().SetLimit(old_limit);
  EXPECT_EQ(error, "");
  ASSERT_EQ(sorted.size(), 1200u);
  EXPECT_EQ(sorted.front(), "1199|1199");
  EXPECT_EQ(sorted.back(), "0|0");
  const std::vector<std::string> refused = {
      "SELECT note FROM m ORDER BY note",
      "SELECT note, COUNT(*) FROM m GROUP BY note",
      "SELECT DISTINCT wide FROM m",
      "SELECT note FROM m UNION SELECT note FROM m",
      "SELECT a.id FROM m a JOIN m b ON a.note = b.note",
  };
  for (const std::string& text : refused) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCode([&] { Rows(text); }), 10853) << ErrorOf([&] { Rows(text); });
  }
}

TEST_F(SqlSelectTest, ResultNamesStayWithin255Bytes) {
  const std::string long_name(255, 'n');
  const Result result = Query("SELECT id AS " + long_name + ", Body AS " + long_name + ", Jmeno AS " + long_name +
                              " FROM hraci");
  ASSERT_EQ(result.header.size(), 3u);
  EXPECT_EQ(result.header[0], long_name);
  for (const std::string& name : result.header) EXPECT_LE(name.size(), 255u);
  EXPECT_NE(result.header[1], result.header[0]);
  EXPECT_NE(result.header[2], result.header[1]);
  EXPECT_NE(result.header[2], result.header[0]);
}

TEST_F(SqlSelectTest, HeaderNamesTheColumns) {
  EXPECT_EQ(Query("SELECT id AS a, Jmeno, Body + 1 FROM hraci").header,
            (std::vector<std::string>{"a", "Jmeno", "Expr"}));
  EXPECT_EQ(Query("SELECT COUNT(*), MAX(id), MIN(id), SUM(id) FROM hraci").header,
            (std::vector<std::string>{"Expr", "Expr_1", "Expr_2", "Expr_3"}));
}

TEST_F(SqlSelectTest, TwoStatementsRunInOrder) {
  EXPECT_EQ(Rows("SELECT id FROM hraci; SELECT MAX(Body) FROM hraci"), (std::vector<std::string>{"3"}));
}

class SqlJoinTest : public SqlTest {
 protected:
  void SetUp() override {
    SqlTest::SetUp();
    MakeTable("a", {Field("id", C::Integer), Field("k", C::String, 4)},
              {{"1", "x"}, {"2", "Y"}, {nullptr, "z"}, {"4", nullptr}});
    MakeTable("b", {Field("id", C::Integer), Field("k", C::String, 4), Field("v", C::Integer)},
              {{"1", "X", "10"}, {"1", "y", "11"}, {nullptr, "z", "12"}, {"3", "w", "13"}});
  }
};

TEST_F(SqlJoinTest, JoinForms) {
  const std::vector<Case> cases = {
      // A NULL key never matches; the outer join keeps its row unmatched.
      {"SELECT a.id, b.v FROM a JOIN b ON a.id = b.id", {"1|10", "1|11"}},
      {"SELECT a.id, b.v FROM a LEFT JOIN b ON a.id = b.id", {"1|10", "1|11", "2|NULL", "NULL|NULL", "4|NULL"}},
      {"SELECT a.id, b.v FROM a RIGHT JOIN b ON a.id = b.id", {"1|10", "1|11", "NULL|12", "NULL|13"}},
      {"SELECT a.id, b.v FROM a FULL JOIN b ON a.id = b.id",
       {"1|10", "1|11", "2|NULL", "NULL|NULL", "4|NULL", "NULL|12", "NULL|13"}},
      // The rest of ON is part of the match: the left join stays a left join.
      {"SELECT a.id, b.v FROM a LEFT JOIN b ON a.id = b.id AND b.v = 11", {"1|11", "2|NULL", "NULL|NULL", "4|NULL"}},
      // WHERE filters the rows completed with NULLs.
      {"SELECT a.id, b.v FROM a LEFT JOIN b ON a.id = b.id WHERE b.v IS NULL", {"2|NULL", "NULL|NULL", "4|NULL"}},
      // Keys compare as "=" does: strings without regard to case.
      {"SELECT a.k, b.v FROM a JOIN b ON a.k = b.k", {"x|10", "Y|11", "z|12"}},
      {"SELECT a.id, b.v FROM a JOIN b USING (id)", {"1|10", "1|11"}},
      // NATURAL pairs id and k.
      {"SELECT a.id, b.v FROM a NATURAL JOIN b", {"1|10"}},
      {"SELECT a.id, b.v FROM a, b WHERE a.id = b.id AND b.v > 10", {"1|11"}},
      {"SELECT COUNT(*) FROM a CROSS JOIN b", {"16"}},
      // An inner join without a key is a cross join filtered by ON.
      {"SELECT a.id, b.v FROM a JOIN b ON a.id < b.v AND b.v = 13 AND a.id > 1", {"2|13", "4|13"}},
      {"SELECT a.id, b.id FROM a JOIN b ON a.id = b.id WHERE a.id = 1 ORDER BY 2", {"1|1", "1|1"}, true},
      // ON names a select-list alias; a column of the joined tables wins.
      {"SELECT a.id AS ai, b.v FROM a JOIN b ON ai = b.id", {"1|10", "1|11"}},
      {"SELECT a.id AS ai, b.v AS w FROM a LEFT JOIN b ON ai = b.id AND w > 10", {"1|11", "2|NULL", "NULL|NULL", "4|NULL"}},
      {"SELECT a.k AS v, b.id FROM a JOIN b ON a.id = b.id AND v > 10", {"x|1"}},
      // A table joined to itself: the aliased copy is named by its alias only.
      {"SELECT a.id, a2.k FROM a JOIN a a2 ON a.id = a2.id", {"1|x", "2|Y", "4|NULL"}},
      {"SELECT a.id FROM a, a a2 WHERE a.id = a2.id AND a2.k = 'y'", {"2"}},
  };
  ExpectRows(cases);
  EXPECT_EQ(Query("SELECT a.id, b.id FROM a JOIN b ON a.id = b.id").header,
            (std::vector<std::string>{"id", "id_1"}));
}

TEST_F(SqlJoinTest, AnUnqualifiedUsingColumnIsTheJoinedOne) {
  const std::vector<Case> cases = {
      {"SELECT id, v FROM a JOIN b USING (id) WHERE id = 1", {"1|10", "1|11"}},
      {"SELECT id, v FROM a LEFT JOIN b USING (id) WHERE id > 1", {"2|NULL", "4|NULL"}},
      // In a right join the left side may be NULL: the name means the right's column.
      {"SELECT id, v FROM a RIGHT JOIN b USING (id)", {"1|10", "1|11", "NULL|12", "3|13"}},
      {"SELECT id, k FROM a NATURAL JOIN b", {"1|x"}},
      {"SELECT id, COUNT(*) FROM a JOIN b USING (id) GROUP BY id", {"1|2"}},
      {"SELECT id, v FROM a JOIN b USING (id) JOIN a a2 USING (id)", {"1|10", "1|11"}},
      // Qualified, each side's copy is still there.
      {"SELECT a.id, b.id, v FROM a RIGHT JOIN b USING (id) WHERE v > 11", {"NULL|NULL|12", "NULL|3|13"}},
  };
  ExpectRows(cases);
  EXPECT_EQ(Query("SELECT id, v FROM a RIGHT JOIN b USING (id)").header, (std::vector<std::string>{"id", "v"}));
}

TEST_F(SqlJoinTest, NameErrors) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      // Two matches for an unqualified name are an error, not the first one.
      {"SELECT id FROM a, b", 10884},
      {"SELECT a.id FROM a, b WHERE id = 1", 10884},
      {"SELECT a.nic FROM a", 10305},
      {"SELECT * FROM a LEFT JOIN b", 10879},
      {"SELECT x.id FROM a", 30327},
      {"SELECT id FROM a ORDER BY b.v", 30195},
      {"SELECT id FROM a WHERE COUNT(*) > 1", 30491},
      {"SELECT id FROM a UNION SELECT id, v FROM b", 10851},
      {"SELECT id FROM a UNION CORRESPONDING BY (nic) SELECT id FROM b", 10852},
      // A name given to two tables would qualify columns of either.
      {"SELECT * FROM a x, b x", 10886},
      {"SELECT * FROM a JOIN b a ON a.id = a.id", 10886},
      {"SELECT COUNT(*) FROM a NATURAL JOIN A", 10886},
  };
  for (const auto& [text, code] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ErrorCode([&] { Rows(text); }), code) << ErrorOf([&] { Rows(text); });
  }
}

// Where this dialect differs from SQL engines like SQLite on purpose.
TEST_F(SqlJoinTest, CommaJoinsFollowTheEqualitiesAndKeepTheColumnOrder) {
  MakeTable("c", {Field("x", C::Integer), Field("y", C::Integer)}, {{"1", "10"}, {"2", "13"}});
  const std::string text = "SELECT * FROM a, b, c WHERE a.id = c.x AND b.v = c.y";
  // a and b share no equality: c is joined to a first, b then to both.
  std::string plan;
  TABSSQLProcessor processor(context_);
  processor.SetSQL(text);
  processor.RunEach(true, [&](TABSSQLCommand& statement) { plan = statement.Explain(); });
  EXPECT_EQ(plan.find("cross"), std::string::npos) << plan;
  const Result result = Query(text);
  EXPECT_EQ(result.header, (std::vector<std::string>{"id", "k", "id_1", "k_1", "v", "x", "y"}));
  EXPECT_EQ(Sorted(result.rows), (std::vector<std::string>{"1|x|1|X|10|1|10", "2|Y|3|w|13|2|13"}));
}

TEST_F(SqlJoinTest, DeliberateDifferences) {
  MakeTable("d", {Field("n", C::Integer), Field("s", C::String, 8)},
            {{"1", ""}, {"2", "ch"}, {"3", "h"}, {"4", "i"}, {nullptr, "c"}});
  const std::vector<Case> cases = {
      // The empty string is NULL.
      {"SELECT n FROM d WHERE s IS NULL", {"1"}},
      // A comparison with NULL is false and <> true.
      {"SELECT COUNT(*) FROM d WHERE n <> 3", {"4"}},
      {"SELECT COUNT(*) FROM d WHERE NOT (n = 3)", {"4"}},
      // Czech order: ch after h.
      {"SELECT s FROM d WHERE s IS NOT NULL ORDER BY s", {"c", "h", "ch", "i"}, true},
      // TOP n, m: n rows from the m-th.
      {"SELECT TOP 2, 2 n FROM d WHERE n IS NOT NULL ORDER BY n DESC", {"3", "2"}, true},
      // TOP counts the rows that passed the condition and DISTINCT.
      {"SELECT DISTINCT TOP 2, 2 id FROM b WHERE id IS NOT NULL ORDER BY 1", {"3"}, true},
  };
  ExpectRows(cases);
}

TEST_F(SqlJoinTest, CancelAtEveryStepLeavesNothingBehind) {
  const std::string text =
      "SELECT b.k, COUNT(*) AS n FROM a JOIN b ON a.id = b.id WHERE b.v > 0 GROUP BY b.k "
      "UNION SELECT k, id FROM a ORDER BY 2 DESC, 1";
  const std::vector<std::string> expected = Rows(text);
  for (int stop = 1;; ++stop) {
    SCOPED_TRACE(stop);
    int steps = 0;
    context_.cancelled = [&] { return ++steps >= stop; };
    const int32_t code = ErrorCode([&] { Rows(text); });
    context_.cancelled = nullptr;
    EXPECT_TRUE(TemporaryDatabase().GetTableNames().empty());
    EXPECT_EQ(Rows(text), expected);
    if (code == 0) break;
    ASSERT_EQ(code, 10881);
  }
}

TEST_F(SqlJoinTest, ReadLocksAreTakenAllOrNoneAndRetried) {
  // Another session writes to the table: the statement waits, then gives up.
  const std::string path = Path() + ".shared";
  TABSDiskDatabaseData::CreateDatabase(path, {}, {});
  TABSSessionSettings settings;
  settings.file_name = path;
  settings.multi_user = true;
  TABSLocalSession mine(settings, list_);
  mine.Connect();
  context_.session = &mine;
  {
    TABSLocalCursor maker(mine, "w");
    const auto defs = Definitions({Field("id", C::Integer)});
    maker.CreateTable(defs->Fields(), defs->Indexes(), defs->Constraints());
  }
  TABSLocalSession other(settings, list_);
  other.Connect();
  TABSLocalCursor writer(other, "w");
  writer.Open();
  ASSERT_TRUE(writer.LockTable(TABSLockType::kWrite, 0, 1));
  context_.lock_policy = {.sleep_ms = 1, .tries = 1, .pause_ms = 1, .attempts = 3};
  EXPECT_EQ(ErrorCode([&] { Rows("SELECT id FROM w"); }), 20225);
  writer.UnlockTable(TABSLockType::kWrite);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM w"), (std::vector<std::string>{"0"}));
}

}  // namespace
}  // namespace kelvorin::testing
