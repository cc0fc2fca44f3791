// The statement grammar: what each text parses into, and the error (code and
// position) of each malformed one. Nothing runs here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/query/sql/sql_errors.h"
#include "db/query/sql/sql_processor.h"
#include "db/query/sql/sql_union.h"
#include "tests/db/engine_error_capture.h"

namespace kelvorin::testing {
namespace {

// Parses the first command of `text` as a query statement.
std::unique_ptr<TABSSQLUnion> ParseQuery(TABSLexer& lexer, const TABSSQLQueryContext& context) {
  lexer.NextCommand();
  auto statement = std::make_unique<TABSSQLUnion>(lexer, context);
  statement->Parse();
  return statement;
}

struct ErrorCase {
  const char* text;
  int32_t code;
  // A piece the message must hold (the token and its place).
  const char* message_part;
};

TEST(SqlParseTest, ErrorsNameTheCodeAndThePlace) {
  const std::vector<ErrorCase> cases = {
      {"", 30145, "Blank SQL command"},
      {"/* only a comment */ ;", 30145, ""},
      {"CREATE", 30148, "line 1, column 1"},
      {"CREATE VIEW v", 30147, "'VIEW'"},
      {"DROP", 30150, ""},
      {"DROP VIEW v", 30149, "'VIEW'"},
      {"ALTER", 30152, ""},
      {"ALTER INDEX i", 30151, "'INDEX'"},
      {"RENAME", 30353, ""},
      {"GRANT x", 30153, "'GRANT'"},
      {"hello world", 30154, "'hello'"},
      {"SELECT TOP x * FROM t", 30158, "'x'"},
      {"SELECT TOP 5, y * FROM t", 30159, "'y'"},
      {"SELECT TOP 5, 0 * FROM t", 30159, "'0'"},
      {"SELECT FROM t", 30164, "'FROM'"},
      {"SELECT a, FROM t", 30163, "'FROM'"},
      {"SELECT a AS FROM t", 30162, "'FROM'"},
      {"SELECT a INTO", 30161, ""},
      {"SELECT a INTO db.(x) FROM t", 30166, "'('"},
      {"SELECT a b c FROM t", 30184, "'c'"},
      {"SELECT a", 30184, ""},
      {"SELECT a FROM", 30161, ""},
      {"SELECT a FROM = 3", 30180, "'='"},
      {"SELECT a FROM t, 5", 30181, "'5'"},
      {"SELECT a FROM t GROUP a", 30185, "'a'"},
      {"SELECT a FROM t GROUP BY a + 1", 10409, "'a'"},
      {"SELECT a FROM t GROUP BY a, 3", 10410, "'3'"},
      {"SELECT a FROM t ORDER a", 30188, "'a'"},
      {"SELECT a FROM t ORDER BY (a)", 30187, "'('"},
      {"SELECT a FROM t ORDER BY t.(a)", 30186, "'('"},
      {"SELECT a FROM t ORDER BY a, (b)", 30189, "'('"},
      {"SELECT a FROM t AS 5", 30177, "'5'"},
      {"SELECT a FROM t PASSWORD x", 30178, "'x'"},
      {"SELECT a FROM (5)", 30179, "'5'"},
      {"SELECT a FROM t CROSS x", 30168, "'x'"},
      {"SELECT a FROM t NATURAL x", 30169, "'x'"},
      {"SELECT a FROM t INNER x", 30170, "'x'"},
      {"SELECT a FROM t LEFT x", 30171, "'x'"},
      {"SELECT a FROM t RIGHT x", 30172, "'x'"},
      {"SELECT a FROM t FULL x", 30173, "'x'"},
      {"SELECT a FROM t LEFT OUTER x", 30174, "'x'"},
      {"SELECT a FROM t LEFT OUTER ON", 30175, "'ON'"},
      {"SELECT a FROM t JOIN 5", 30176, "'5'"},
      {"SELECT a FROM t JOIN u USING a", 30167, "'a'"},
      {"SELECT a FROM t UNION x", 30194, "'x'"},
      {"SELECT a FROM t UNION CORRESPONDING BY a", 30193, "'a'"},
      // A command ends where its statement ends.
      {"SELECT * FROM t garbage more", 10870, "'more' found at line 1, column 25"},
      {"SELECT * FROM t LIMIT 5", 10870, "'5'"},
      {"SELECT * FROM t WEHRE id = 5", 10870, "'id'"},
      {"SELECT * FROM t ORDER BY a LIMIT 5", 10870, "'LIMIT'"},
      {"SELECT a = 1 FROM t", 30184, "'='"},
      // The closing parentheses are required.
      {"(SELECT a FROM t x y)", 10871, "'y'"},
      {"SELECT a FROM (t x y)", 10872, "'y'"},
      {"SELECT a FROM t UNION CORRESPONDING BY (a b) SELECT a FROM u", 10873, "'b'"},
      {"SELECT a FROM t JOIN u USING (a b)", 10874, "'b'"},
      {"SELECT a FROM (t", 30059, ""},
      // ORDER BY and INTO belong to the whole statement only.
      {"SELECT a FROM t ORDER BY a UNION SELECT a FROM u", 10875, "line 1, column 17"},
      {"SELECT a FROM t UNION (SELECT a FROM u ORDER BY a)", 10875, ""},
      {"SELECT a INTO x FROM t UNION SELECT a FROM u", 10876, "line 1, column 10"},
      {"SELECT a FROM t UNION SELECT a INTO x FROM u", 10876, ""},
      {"SELECT a FROM t LEFT JOIN u", 10879, ""},
      {"INSERT INTO t VALUES (1)", 10877, "'INSERT'"},
      // The error of the second command stops the parse of the whole text.
      {"SELECT a FROM t;\nSELECT a FROM t WHERE", 30118, "line 2"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    TABSSQLProcessor processor;
    processor.SetSQL(c.text);
    std::string message;
    const int32_t code = ErrorCode([&] {
      message = ErrorOf([&] { processor.Parse(); });
      processor.Parse();
    });
    EXPECT_EQ(code, c.code) << message;
    EXPECT_NE(message.find(c.message_part), std::string::npos) << message;
  }
}

TEST(SqlParseTest, AcceptedTexts) {
  const std::vector<const char*> texts = {
      "SELECT MAX(Kolo) as result FROM seskupeni;",
      "SELECT\r\nMAX(Kolo)\r\nas\r\nresult\r\nFROM\r\nseskupeni;\r\n",
      "SELECT * FROM t garbage",
      "SELECT DISTINCT TOP 5, 3 a, b AS [x y], 'c' \"q\", t.* FROM t",
      "SELECT a FROM MEMORY m AS x PASSWORD 'p', db.t y",
      "SELECT a FROM t NATURAL LEFT OUTER JOIN u CROSS JOIN v INNER JOIN w ON t.a = w.a",
      "SELECT a FROM (t JOIN u USING (a, b)) FULL JOIN v ON v.a = t.a",
      "SELECT a FROM t RIGHT JOIN u ON t.a = u.a WHERE a > 1 GROUP BY a, t.b HAVING COUNT(*) > 1 ORDER BY 1 DESC, t.a ASC",
      "(SELECT a FROM t) UNION ALL SELECT a FROM u INTERSECT CORRESPONDING BY (a) SELECT a FROM v ORDER BY 1",
      "(SELECT a FROM t ORDER BY a)",
      "SELECT a INTO MEMORY x FROM t",
      "SELECT a INTO memory FROM t",
      "SELECT a FROM t EXCEPT SELECT a FROM u MINUS SELECT a FROM v",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    TABSSQLProcessor processor;
    processor.SetSQL(text);
    EXPECT_EQ(ErrorOf([&] { processor.Parse(); }), "");
  }
}

TEST(SqlParseTest, TheTreeHoldsEveryClause) {
  TABSSQLQueryContext context;
  TABSLexer lexer(
      "SELECT DISTINCT TOP 5, 3 a k, t.*, b + 1 AS s, COUNT(*) INTO MEMORY d.x "
      "FROM t LEFT JOIN u ON t.a = u.a AND u.k = 1, v WHERE a = 1 GROUP BY a HAVING COUNT(*) > 1 "
      "ORDER BY 2 DESC, t.a");
  auto statement = ParseQuery(lexer, context);
  const TABSSQLSelect& select = *statement->Root().select;
  EXPECT_TRUE(select.distinct);
  EXPECT_EQ(select.top_count, 5);
  EXPECT_EQ(select.top_first, 3);
  ASSERT_EQ(select.select_list.size(), 4u);
  EXPECT_EQ(select.select_list[0].field_name, "a");
  EXPECT_EQ(select.select_list[0].alias, "k");
  EXPECT_FALSE(select.select_list[0].is_expression);
  EXPECT_TRUE(select.select_list[1].all_fields);
  EXPECT_EQ(select.select_list[1].table_name, "t");
  EXPECT_TRUE(select.select_list[2].is_expression);
  EXPECT_EQ(select.select_list[2].alias, "s");
  EXPECT_TRUE(select.select_list[3].is_expression);
  EXPECT_EQ(statement->IntoTableName(), "x");
  EXPECT_EQ(statement->IntoDatabaseName(), "d");
  EXPECT_TRUE(statement->IntoInMemory());
  EXPECT_FALSE(statement->YieldsRows());
  ASSERT_EQ(select.table_references.size(), 2u);
  const TABSTableReference& join = *select.table_references[0];
  EXPECT_EQ(join.kind, TABSTableReference::Kind::kJoin);
  EXPECT_EQ(join.join_type, TABSJoinType::kLeft);
  EXPECT_EQ(join.left->table_name, "t");
  EXPECT_EQ(join.right->table_name, "u");
  ASSERT_NE(join.on_condition, nullptr);
  EXPECT_EQ(select.group_by.size(), 1u);
  ASSERT_NE(select.having, nullptr);
  ASSERT_EQ(select.order_by.size(), 2u);
  EXPECT_TRUE(select.order_by[0].is_position);
  EXPECT_EQ(select.order_by[0].position, 2);
  EXPECT_TRUE(select.order_by[0].descending);
  EXPECT_EQ(select.order_by[1].table_name, "t");
  EXPECT_EQ(select.order_by[1].field_name, "a");
}

TEST(SqlParseTest, IntersectBindsTighterAndOrderByMovesToTheCompound) {
  TABSSQLQueryContext context;
  TABSLexer lexer(
      "SELECT a FROM t UNION ALL SELECT a FROM u INTERSECT SELECT a FROM v "
      "EXCEPT CORRESPONDING BY (a, b) SELECT a FROM w ORDER BY 1");
  auto statement = ParseQuery(lexer, context);
  const TABSQueryExprNode& root = statement->Root();
  ASSERT_EQ(root.set_operation, TABSSetOperation::kExcept);
  EXPECT_TRUE(root.corresponding);
  EXPECT_EQ(root.corresponding_fields, (std::vector<std::string>{"a", "b"}));
  const TABSQueryExprNode& union_node = *root.left;
  ASSERT_EQ(union_node.set_operation, TABSSetOperation::kUnion);
  EXPECT_TRUE(union_node.all);
  EXPECT_EQ(union_node.right->set_operation, TABSSetOperation::kIntersect);
  EXPECT_EQ(statement->CompoundOrderBy().size(), 1u);
  EXPECT_TRUE(root.right->select->order_by.empty());
}

}  // namespace
}  // namespace kelvorin::testing
