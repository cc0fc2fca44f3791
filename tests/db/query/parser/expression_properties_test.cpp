// Properties over generated texts: a parsed tree printed and parsed again is
// the same tree; BETWEEN is >= AND <=.
#include <random>
#include <string>

#include "db/query/expressions/expr_text.h"
#include "tests/db/query/expression_test_support.h"

namespace kelvorin::testing {
namespace {

class TextGenerator {
 public:
  explicit TextGenerator(uint32_t seed) : rng_(seed) {}

  std::string Condition(int depth) {
    switch (Pick(depth > 0 ? 11 : 6)) {
      case 0: return Value(depth) + " " + Comparison() + " " + Value(depth);
      case 1: return Value(depth) + Not() + " LIKE " + Value(depth);
      case 2: return Value(depth) + " IS" + Not() + " NULL";
      case 3: return Value(depth) + Not() + " BETWEEN " + Value(depth) + " AND " + Value(depth);
      case 4: return Value(depth) + Not() + " IN (" + Value(depth) + ", " + Value(depth) + " " + Value(depth) + ")";
      case 5: return Pick(2) ? "TRUE" : "FALSE";
      case 6: return "NOT (" + Condition(depth - 1) + ")";
      case 7: return "(" + Condition(depth - 1) + ") AND " + Condition(depth - 1);
      case 8: return Condition(depth - 1) + " OR " + Condition(depth - 1);
      case 9: {
        static const char* const kTruth[] = {" IS TRUE", " IS NOT FALSE", " IS UNKNOWN", " IS NOT UNKNOWN"};
        return "(" + Condition(depth - 1) + ")" + kTruth[Pick(4)];
      }
      default: return "'a' LIKE " + Value(depth) + " ESCAPE '!'";
    }
  }

  std::string Value(int depth) {
    if (depth <= 0 || Pick(3) == 0) return Leaf();
    const std::string a = Value(depth - 1);
    const std::string b = Value(depth - 1);
    switch (Pick(17)) {
      case 0: return a + " + " + b;
      case 1: return a + " - " + b;
      case 2: return a + " * " + b + " * " + Leaf();
      case 3: return a + " / " + b;
      case 4: return "-" + a;
      case 5: return "(" + a + ")";
      case 6: return a + " || " + b;
      case 7: return "UPPER(" + a + ")";
      case 8: return "LENGTH(" + a + ")";
      case 9: return "SUBSTRING(" + a + " FROM " + b + " FOR " + Leaf() + ")";
      case 10: return "CAST(" + a + " AS INTEGER)";
      case 11: return "CAST(" + a + " AS VARCHAR(5))";
      case 12: return Pick(2) ? "SUM(" + a + ")" : "COUNT DISTINCT (" + a + ")";
      case 13: return "TOSTRING(" + a + ", 'DD.MM.')";
      case 14: return "POSITION(" + a + " IN " + b + ")";
      case 15: return "TRIM(" + a + ") + " + b;
      default: return "(" + a + " + " + b + ") * " + Leaf();
    }
  }

 private:
  size_t Pick(size_t n) { return rng_() % n; }
  std::string Not() { return Pick(3) == 0 ? " NOT" : ""; }
  std::string Comparison() {
    static const char* const kOps[] = {"=", "<>", "<", ">", "<=", ">="};
    return kOps[Pick(6)];
  }
  std::string Leaf() {
    static const char* const kLeaves[] = {"Kolo", "t.Jmeno", "[Body]", "7", "0", "3000000000",
                                          "2.5", "'ab'", "'It''s'", "''", "-4", "NULL", "COUNT(*)"};
    return kLeaves[Pick(std::size(kLeaves))];
  }

  std::mt19937 rng_;
};

std::unique_ptr<TABSExpression> ParseWhole(const std::string& text) {
  auto expression = std::make_unique<TABSExpression>();
  TABSLexer lexer(text);
  if (!lexer.NextCommand()) return nullptr;
  expression->ParseCondition(lexer);
  if (lexer.CurrentToken().token_type != tktNone) return nullptr;
  return expression;
}

class ExpressionProperties : public ExpressionTest {};

TEST_F(ExpressionProperties, PrintedTreesParseBackToThemselves) {
  TextGenerator generator(11);
  int checked = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string text = generator.Condition(3);
    std::unique_ptr<TABSExpression> first;
    try {
      first = ParseWhole(text);
    } catch (const EABSException&) {
      continue;  // generated texts need not be valid
    }
    if (first == nullptr) continue;
    const std::string printed = ExpressionText(*first->RootNode());
    std::unique_ptr<TABSExpression> second;
    ASSERT_NO_THROW(second = ParseWhole(printed)) << text << "\n  printed: " << printed;
    ASSERT_NE(second, nullptr) << text << "\n  printed: " << printed;
    ASSERT_TRUE(SameTree(*first->RootNode(), *second->RootNode()))
        << text << "\n  printed: " << printed
        << "\n  reprinted: " << ExpressionText(*second->RootNode());
    ++checked;
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(ExpressionProperties, BetweenIsGreaterOrEqualAndLessOrEqual) {
  std::mt19937 rng(5);
  auto operand = [&rng]() -> std::string {
    switch (rng() % 4) {
      case 0: return "NULL";
      case 1: return "'" + std::string(1, static_cast<char>('a' + rng() % 4)) +
                     (rng() % 2 ? "b" : "") + "'";
      default: return std::to_string(static_cast<int>(rng() % 7) - 3);
    }
  };
  for (int round = 0; round < 2000; ++round) {
    const std::string x = operand();
    std::string low = operand();
    std::string high = operand();
    // Text against numbers compares as text: keep each case in one kind.
    const bool text = x[0] == '\'';
    if ((low[0] == '\'') != text && low != "NULL") low = x;
    if ((high[0] == '\'') != text && high != "NULL") high = x;
    const std::string between = x + " BETWEEN " + low + " AND " + high;
    const std::string both = x + " >= " + low + " AND " + x + " <= " + high;
    const std::string truth = Truth(between);
    const std::string expected = Truth(both);
    // Comparisons are never NULL, so where BETWEEN is NULL they are false.
    ASSERT_EQ(truth == "NULL" ? "FALSE" : truth, expected) << between;
    ASSERT_EQ(Truth("NOT (" + between + ")"), truth == "NULL" ? "NULL" : truth == "TRUE" ? "FALSE" : "TRUE");
  }
}

}  // namespace
}  // namespace kelvorin::testing
