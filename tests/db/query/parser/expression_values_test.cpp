// Values and conditions without fields: the functions, operators and
// literals of the expression language, with the faults it must not have.
#include <string>
#include <vector>

#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/value_nodes.h"
#include "tests/db/query/expression_test_support.h"

namespace kelvorin::testing {
namespace {

struct ValueCase {
  const char* text;
  const char* expected;  // the value as text, "NULL" for NULL
  TABSStorageType type;
};

class ExpressionValues : public ExpressionTest {};

TEST_F(ExpressionValues, ComputeTheirValueAndType) {
  using S = TABSStorageType;
  const std::vector<ValueCase> cases = {
      {"1 + 2", "3", S::Integer},
      {"2 * 3 * 4", "24", S::Integer},
      {"7 / 2", "3", S::Integer},
      {"10 - 2 - 3", "5", S::Integer},
      {"2147483646 + 1", "2147483647", S::Integer},
      {"3000000000", "3000000000", S::LargeInt},
      {"-2147483648", "-2147483648", S::Integer},
      {"-3000000000 + 1", "-2999999999", S::LargeInt},
      {"1.5 + 1", "2,5", S::Float},
      // NULL stands wherever a value may, in arithmetic and text alike.
      {"NULL + 5", "NULL", S::None},
      {"5 + NULL", "NULL", S::None},
      {"NULL - 3", "NULL", S::None},
      {"NULL * 2", "NULL", S::None},
      {"NULL || 5 || 6", "56", S::String},
      {"'a' || NULL || 'b'", "ab", S::String},
      {"LENGTH(NULL)", "0", S::Integer},
      {"UPPER(NULL)", "NULL", S::None},
      {"CAST(NULL AS INTEGER) + 5", "NULL", S::None},
      {"5 + CAST(NULL AS INTEGER)", "NULL", S::None},
      {"CAST(NULL AS INTEGER) - 3", "NULL", S::None},
      {"CAST(NULL AS INTEGER) * 3", "NULL", S::None},
      {"'a' || '' || 'b'", "ab", S::String},
      {"'' || 5 || 6", "56", S::String},
      {"'' + 5", "5", S::String},
      {"'ab' + 'cd'", "abcd", S::String},
      {"'x' || 1.5", "x1,5", S::String},
      {"LENGTH('abc')", "3", S::Integer},
      {"LENGTH('')", "0", S::Integer},
      {"SUBSTRING('abcdef' FROM 3)", "cdef", S::String},
      {"SUBSTRING('abcdef', 2, 3)", "bcd", S::String},
      {"SUBSTRING('abcdef' FROM 2 FOR 3)", "bcd", S::String},
      {"SUBSTRING('abcdef', 0, 2)", "ab", S::String},
      {"SUBSTRING('abcdef', -5, 2)", "ab", S::String},
      {"SUBSTRING('abc', 4)", "NULL", S::String},
      {"SUBSTRING('abc', 2, 0)", "NULL", S::String},
      {"SUBSTRING('abc', 2, -1)", "NULL", S::String},
      {"SUBSTRING('abc', 2, 3000000000)", "bc", S::String},
      {"SUBSTRING('abc', 3000000000)", "NULL", S::String},
      {"POSITION('c' IN 'abc')", "3", S::Integer},
      {"POS('c', 'abc')", "3", S::Integer},
      {"POS('x', 'abc')", "0", S::Integer},
      {"POS('', 'abc')", "0", S::Integer},
      {"UPPER('abc')", "ABC", S::String},
      {"LOWER('\xC8" "au')", "\xE8" "au", S::String},
      {"TRIM('  a b  ')", "a b", S::String},
      {"LTRIM('  a ')", "a ", S::String},
      {"RTRIM('  a ')", "  a", S::String},
      {"TRIM(' \xE1\xE8 ')", "\xE1\xE8", S::String},
      {"CAST('12' AS INTEGER) + 1", "13", S::Integer},
      {"CAST(12345 AS STRING(3))", "123", S::String},
      {"CAST(12345, STRING)", "12345", S::String},
      {"CAST(NULL AS INTEGER)", "NULL", S::Integer},
      {"CAST(1 AS LOGICAL)", "True", S::Logical},
      {"TOSTRING(TODATE('2024-03-05', 'YYYY-MM-DD'), 'DD.MM.YYYY')", "05.03.2024", S::String},
      {"TOSTRING(12345, 'DD')", "19", S::String},
      {"((('a')))", "a", S::String},
      {"(((1)) + 2)", "3", S::Integer},
      {"TRUE", "True", S::Logical},
      {"NULL", "NULL", S::Integer},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    const TABSVariant v = ValueOf(c.text);
    EXPECT_EQ(v.IsNull() ? "NULL" : v.AsString(), c.expected);
    if (c.type != S::None) {
      EXPECT_EQ(StorageTypeName(v.Type()), StorageTypeName(c.type));
    }
  }
}

TEST_F(ExpressionValues, ToDateGivesTheTypeOfWhatTheTextHeld) {
  EXPECT_EQ(ValueOf("TODATE('2024-03-05', 'YYYY-MM-DD')").Type(), TABSStorageType::Date);
  EXPECT_EQ(ValueOf("TODATE('13:45:10', 'HH24:NN:SS')").Type(), TABSStorageType::Time);
  EXPECT_EQ(ValueOf("TODATE('2024-03-05 13:45', 'YYYY-MM-DD HH24:NN')").Type(),
            TABSStorageType::DateTime);
}

TEST_F(ExpressionValues, CurrentDateComesFromTheExpressionsClock) {
  struct FixedClock : TABSExprClock {
    double Now() const override { return 45356.5; }  // 2024-03-05 12:00
  } clock;
  TABSLexer lexer("TOSTRING(NOW, 'YYYY-MM-DD HH24:NN') || ' ' || TOSTRING(CURRENT_DATE, 'DD')");
  lexer.NextCommand();
  TABSExpression expression;
  expression.SetClock(clock);
  expression.ParseValue("", lexer);
  EXPECT_EQ(expression.GetValue(true)->AsString(), "2024-03-05 12:00 05");
}

struct TruthCase {
  const char* text;
  const char* expected;
};

TEST_F(ExpressionValues, ConditionsGiveTheirTruth) {
  const std::vector<TruthCase> cases = {
      {"'abc' LIKE 'A%'", "TRUE"},
      {"'abc' LIKE 'a_c'", "TRUE"},
      {"'ab' LIKE 'a%%'", "TRUE"},
      {"'a' LIKE 'a%%'", "TRUE"},
      {"'a' LIKE '%'", "TRUE"},
      {"'abc' LIKE '%b'", "FALSE"},
      {"'abc' NOT LIKE 'a%'", "FALSE"},
      {"'a%b' LIKE 'a!%b' ESCAPE '!'", "TRUE"},
      {"'axb' LIKE 'a!%b' ESCAPE '!'", "FALSE"},
      {"'a_b' LIKE 'a\\_b' ESCAPE '\\'", "TRUE"},
      {"'\xC8" "ERN\xDD' LIKE '\xE8" "ern_'", "TRUE"},
      {"NULL = NULL", "FALSE"},
      {"NULL <> NULL", "TRUE"},
      {"NULL < 1", "FALSE"},
      {"2 IN (1, NULL)", "FALSE"},
      {"NULL IN (1)", "NULL"},
      {"2 IN (1 2 3)", "TRUE"},
      {"2 NOT IN (1, 3)", "TRUE"},
      {"3 BETWEEN 1 AND 5", "TRUE"},
      {"5 NOT BETWEEN 1 AND 4", "TRUE"},
      {"NULL BETWEEN 1 AND 4", "NULL"},
      {"'abc' = 'ABC'", "TRUE"},
      {"'abc' < 'abd'", "TRUE"},
      {"(1 = 1) IS NOT TRUE", "FALSE"},
      {"1 = 2 IS FALSE", "TRUE"},
      {"1 = 1 IS UNKNOWN", "FALSE"},
      {"1 = 1 IS NOT UNKNOWN", "TRUE"},
      {"1 = 1 OR 1 = 2 AND 1 = 2", "TRUE"},
      {"NOT 1 = 1 AND 1 = 1", "FALSE"},
      {"3 < (1 + 2) + 1", "TRUE"},
      {"-1 < 2147483648", "TRUE"},
      {"'' IS NULL", "TRUE"},
      {"1 IS NOT NULL", "TRUE"},
      {"TRUE", "TRUE"},
      {"(1 = 1) AND (NULL IN (1))", "NULL"},
      {"(1 = 2) AND (NULL IN (1))", "FALSE"},
      {"(1 = 1) OR (NULL IN (1))", "TRUE"},
      {"(1 = 2) OR (NULL IN (1))", "NULL"},
      {"NULL + 5 IS NULL", "TRUE"},
      {"5 - NULL = 5", "FALSE"},
      {"NULL || 'a' = 'A'", "TRUE"},
  };
  for (const TruthCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Truth(c.text), c.expected);
  }
}

struct ErrorCase {
  const char* text;
  bool condition;
  int32_t code;
};

TEST_F(ExpressionValues, MalformedTextsRaiseTheirErrors) {
  const std::vector<ErrorCase> cases = {
      {"(1 + 2) > 3", true, 30066},
      {"1 =", true, 30066},
      {"1 = 1 IS MAYBE", true, 30067},
      // INTEGER arithmetic raises where the exact result does not fit.
      {"2147483647 + 1", false, 10891},
      {"65536 * 65536", false, 10891},
      {"-(-2147483647 - 1)", false, 10891},
      {"9223372036854775807 + 1", false, 10891},
      {"1 = 1 AND", true, 30066},
      {"(1 = 1 , 2)", true, 30498},
      {"CAST(1 AS BLOB)", false, 30077},
      {"CAST(1 AS FOO)", false, 30077},
      {"CAST(1 AS STRING(0))", false, 30497},
      {"CAST(1 AS STRING(1 + 1))", false, 30497},
      {"CAST(1 AS STRING(2147483647))", false, 30497},
      {"CAST(1 AS STRING(3 4))", false, 30465},
      {"CAST(1 AS STRING(3) 4)", false, 30076},
      {"SUM(DISTINCT 1)", false, 30102},
      {"SUM 1", false, 30074},
      {"SUM(1 2)", false, 30075},
      {"COUNT(* 1)", false, 30073},
      {"'a' LIKE", true, 30495},
      {"'a' LIKE 'b' ESCAPE 'xy'", true, 30496},
      {"'a' LIKE 'b' ESCAPE", true, 30496},
      {"UPPER()", false, 30092},
      {"UPPER 'a'", false, 30090},
      {"UPPER('a' 'b')", false, 30091},
      {"POS('a' 'b')", false, 30080},
      {"POS()", false, 30079},
      {"LENGTH()", false, 30085},
      {"SUBSTRING('a' 1)", false, 30100},
      {"SUBSTRING('a', 1 2)", false, 30103},
      {"SUBSTRING('a', 1, 2 3)", false, 30104},
      {"TOSTRING(1, x)", false, 30096},
      {"TOSTRING(1 'x')", false, 30095},
      {"TODATE('1', 2)", false, 30109},
      {"TODATE('1' 'x')", false, 30108},
      {"LASTAUTOINC(t, f)", false, 30488},
      {"1 / 0", false, 30128},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.text);
    const int32_t code = ErrorCode([&] {
      TABSLexer lexer(c.text);
      lexer.NextCommand();
      TABSExpression expression;
      if (c.condition) {
        expression.ParseCondition(lexer);
        expression.GetBooleanValue();
      } else {
        expression.ParseValue("", lexer);
        if (!expression.IsEmpty()) expression.GetValue(true);
      }
    });
    EXPECT_EQ(code, c.code);
  }
}

TEST_F(ExpressionValues, MessagesNameTheTokenAndItsPlace) {
  auto message = [](const char* text) {
    return ErrorOf([&] {
      TABSLexer lexer(text);
      lexer.NextCommand();
      TABSExpression expression;
      expression.ParseCondition(lexer);
    });
  };
  EXPECT_EQ(message("1 = 1 IS MAYBE"),
            "Token 'TRUE, FALSE or UNKNOWN' expected, but 'MAYBE' found at line 1, column 10 - "
            "Native error: 30067");
  EXPECT_EQ(message("x IN (1,\n 2) AND (1 + 2) > 3"),
            "Boolean expression expected, but '1' found at line 2, column 10 - Native error: 30066");
  // At the end of the command the last token is named, not line 0, column 0.
  EXPECT_EQ(message("x =\n  y AND"),
            "Boolean expression expected, but 'AND' found at line 2, column 5 - Native error: 30066");
}

TEST_F(ExpressionValues, NothingAfterWhereNamesTheLastToken) {
  TABSLexer lexer("DELETE FROM t WHERE");
  lexer.NextCommand();
  lexer.SetCurrentTokenNo(4);
  TABSExpression expression;
  EXPECT_EQ(ErrorOf([&] { expression.ParseCondition(lexer); }),
            "Unexpected end of SQL command found at line 1, column 15 - Native error: 30118");
  EXPECT_TRUE(expression.IsEmpty());
}

TEST_F(ExpressionValues, AFailedParseLeavesNoTree) {
  TABSLexer good("1 = 1");
  good.NextCommand();
  TABSExpression expression;
  expression.ParseCondition(good);
  ASSERT_FALSE(expression.IsEmpty());
  TABSLexer bad("1 = 1 AND 'a' LIKE");
  bad.NextCommand();
  EXPECT_EQ(ErrorCode([&] { expression.ParseCondition(bad); }), 30495);
  EXPECT_TRUE(expression.IsEmpty());
  EXPECT_EQ(ErrorCode([&] { expression.GetBooleanValue(); }), 30110);
}

TEST_F(ExpressionValues, DeclaredTypesAndSizesHoldTheValues) {
  struct SizeCase {
    const char* text;
    TABSColumnType type;
    int32_t size;
  };
  using C = TABSColumnType;
  const std::vector<SizeCase> cases = {
      {"'abc' || 12", C::String, 3 + 11},
      {"'abc' || 1.5", C::String, 3 + 26},
      {"UPPER('abc')", C::String, 3},
      {"UPPER(123)", C::String, 11},
      {"SUBSTRING(1234, 2)", C::String, 11},
      {"CAST(1 AS STRING)", C::String, 11},
      {"CAST(TRUE AS STRING)", C::String, 5},
      {"CAST('abcdef' AS STRING(4))", C::String, 4},
      {"TOSTRING(1, 'DD-RM-YYYY')", C::String, 12},
      {"LENGTH('abc')", C::Integer, 0},
      {"SUM(1)", C::LargeInt, 0},
      {"AVG(1)", C::Float, 0},
      {"MAX(1)", C::Integer, 0},
      {"COUNT(*)", C::Integer, 0},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.text);
    TABSLexer lexer(c.text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseValue("", lexer);
    EXPECT_EQ(ColumnTypeName(expression.GetDataType()), ColumnTypeName(c.type));
    EXPECT_EQ(expression.GetDataSize(), c.size);
    if (!expression.IsAggregated()) {
      const TABSVariant* v = expression.GetValue(true);
      if (IsStringStorage(v->Type())) {
        EXPECT_LE(v->StringLength(), c.size);
      }
    }
  }
}

TEST_F(ExpressionValues, ParenthesesBeyondOneHundredLevelsAreRefused) {
  auto nested = [](int depth) {
    return std::string(static_cast<size_t>(depth), '(') + "1" +
           std::string(static_cast<size_t>(depth), ')');
  };
  EXPECT_EQ(TextOf(nested(100)), "1");
  EXPECT_EQ(ErrorCode([&] { ValueOf(nested(101)); }), native::kExpressionTooDeep.code);
  std::string functions;
  for (int i = 0; i < 101; ++i) functions += "UPPER(";
  functions += "'a'" + std::string(101, ')');
  EXPECT_EQ(ErrorCode([&] { ValueOf(functions); }), native::kExpressionTooDeep.code);
}

TEST_F(ExpressionValues, LongChainsAreFlatAndDeepOnesRefused) {
  std::string sum = "1";
  std::string product = "1";
  std::string ors = "1 = 2";
  for (int i = 0; i < 5000; ++i) {
    sum += " + 1";
    product += " * 1";
    ors += " OR 1 = 2";
  }
  EXPECT_EQ(TextOf(sum), "5001");
  EXPECT_EQ(TextOf(product), "1");
  EXPECT_EQ(Truth(ors + " OR 1 = 1"), "TRUE");
  std::string quotient = "1";
  for (int i = 0; i < 1000; ++i) quotient += " / 1";
  EXPECT_EQ(ErrorCode([&] { ValueOf(quotient); }), native::kExpressionTooDeep.code);
}

TEST_F(ExpressionValues, ParenthesisedValuesAreParsedOnce) {
  // Every '(' around a text constant used to double the work.
  auto parsed = [](const std::string& text) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseCondition(lexer);
    return expression.LastParseStatistics().primaries_parsed;
  };
  auto around_text = [](int depth) {
    return "x = " + std::string(static_cast<size_t>(depth), '(') + "'a'" +
           std::string(static_cast<size_t>(depth), ')');
  };
  auto concatenations = [](int depth) {
    std::string text = "'a'";
    for (int i = 0; i < depth; ++i) text = "(" + text + ") || 'b'";
    return "x = " + text;
  };
  auto casts = [](int depth) {
    std::string text = "'a'";
    for (int i = 0; i < depth; ++i) text = "CAST(" + text + " AS STRING) || 'b'";
    return "x = " + text;
  };
  for (auto make : {+around_text, +concatenations, +casts}) {
    const int64_t at10 = parsed(make(10));
    const int64_t at20 = parsed(make(20));
    const int64_t at40 = parsed(make(40));
    EXPECT_EQ(at20 - at10, at40 - at20 - (at20 - at10)) << make(3);
    EXPECT_LE(at40, 2 * 40);
  }
}

TEST_F(ExpressionValues, NestedConjunctionsAreMergedIntoTheRoot) {
  TABSLexer lexer("a = 1 AND (b = 2 AND (c = 3 AND d = 4)) AND e = 5 AND (f = 6 AND g = 7)");
  lexer.NextCommand();
  TABSExpression expression;
  expression.ParseCondition(lexer);
  // The conjuncts that were no AND stay in place; those of the ANDs follow.
  std::string order;
  const TABSExprNode& root = *expression.RootNode();
  ASSERT_EQ(root.Operator(), kOpAnd);
  for (size_t i = 0; i < root.ChildCount(); ++i) {
    ASSERT_EQ(root.Child(i)->kind(), TABSExprNode::Kind::kComparison);
    order += static_cast<const TABSExprNodeField&>(*root.Child(i)->Child(0)).FieldName();
  }
  EXPECT_EQ(order, "aebfgcd");
  EXPECT_EQ(root.Height(), 3);
}

TEST_F(ExpressionValues, PrimariesKeptForARetryAreNotCopied) {
  // Work per node of the text, whatever the parentheses around it.
  auto made = [](const std::string& text) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseCondition(lexer);
    return expression.LastParseStatistics().nodes_made;
  };
  auto wrapped = [](int depth, const std::string& inner) {
    return "x = " + std::string(static_cast<size_t>(depth), '(') + inner +
           std::string(static_cast<size_t>(depth), ')');
  };
  std::string sum = "1";
  std::string text = "'a'";
  std::string retried = "1";
  for (int i = 0; i < 500; ++i) {
    sum += " + 1";
    text += " || 'a'";
    retried += " - 1";
  }
  for (const std::string& inner : {sum, text}) {
    const int64_t bare = made(wrapped(0, inner));
    EXPECT_LE(made(wrapped(99, inner)), bare + 2 * 99) << inner.substr(0, 20);
  }
  // Every level retried as text after its numeric reading failed.
  auto texts_around = [&](int depth) {
    std::string built = "(" + retried + ")";
    for (int i = 0; i < depth; ++i) built = "(" + built + " || 'b')";
    return "x = " + built;
  };
  const int64_t one = made(texts_around(1));
  const int64_t many = made(texts_around(90));
  EXPECT_LE(many - one, 89 * 10);
}

TEST_F(ExpressionValues, WideParametersCompareAsWideTextUnlessTheyRoundTrip) {
  auto table = FakeTable::Seating();
  TABSSQLParams params;
  TABSSQLParam& exotic = params.AddParam();
  exotic.SetName("exotic");
  exotic.SetWideString(u"\u4E00");
  TABSSQLParam& czech = params.AddParam();
  czech.SetName("czech");
  czech.SetWideString(u"\u010Cech");
  auto passes = [&](const char* text) {
    TABSLexer lexer(text, &params);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseCondition(lexer);
    expression.BindToCursor(table.get());
    expression.BindToRecord(table->Record());
    return expression.GetBooleanValue();
  };
  table->Set("Jmeno", Str("?"));
  EXPECT_FALSE(passes("Jmeno = :exotic"));
  table->Set("Jmeno", Str("\xC8" "ech"));
  EXPECT_TRUE(passes("Jmeno = :czech"));
  table->Set("Jmeno", Str("a?b"));
  TABSLexer lexer("POS(:exotic, 'a?b')", &params);
  lexer.NextCommand();
  TABSExpression position;
  position.ParseValue("", lexer);
  EXPECT_EQ(position.GetValue(true)->AsInteger(), 0);
}

}  // namespace
}  // namespace kelvorin::testing
