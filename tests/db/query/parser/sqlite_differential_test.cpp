// The expression language against SQLite on random constant expressions and
// conditions where the two dialects agree (integer arithmetic within 32
// bits, comparisons without NULL, AND/OR/NOT, BETWEEN, IN, LIKE on ASCII
// text, ||, UPPER, LOWER, LENGTH, SUBSTRING with positive arguments), and
// the deliberate differences on their own.
#include <sqlite3.h>

#include <random>
#include <string>

#include "db/query/expressions/expression_errors.h"
#include "tests/db/query/expression_test_support.h"

namespace kelvorin::testing {
namespace {

class SQLitePeer {
 public:
  SQLitePeer() { sqlite3_open(":memory:", &db_); }
  ~SQLitePeer() { sqlite3_close(db_); }
  SQLitePeer(const SQLitePeer&) = delete;
  SQLitePeer& operator=(const SQLitePeer&) = delete;

  // The first column of a one-row query as text ("NULL" for NULL).
  std::string Query(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      return std::string("error: ") + sqlite3_errmsg(db_);
    }
    std::string result = "no row";
    if (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      result = text == nullptr ? "NULL" : reinterpret_cast<const char*>(text);
    }
    sqlite3_finalize(statement);
    return result;
  }

 private:
  sqlite3* db_ = nullptr;
};

// Texts that both dialects read alike. Letters avoid c and h, which the
// Czech collation reads together as one letter.
class AgreeingGenerator {
 public:
  explicit AgreeingGenerator(uint32_t seed) : rng_(seed) {}

  // An integer expression whose value stays small.
  std::string Integer(int depth) {
    // A sign after + or - is not read (a + -1): negative numbers go in parentheses.
    if (depth <= 0 || Pick(3) == 0) return Number(static_cast<int>(Pick(41)) - 20);
    switch (Pick(6)) {
      case 0: return "(" + Integer(depth - 1) + " + " + Integer(depth - 1) + ")";
      case 1: return "(" + Integer(depth - 1) + " - " + Integer(depth - 1) + ")";
      case 2: return "(" + Integer(depth - 1) + " * " + std::to_string(Pick(9)) + ")";
      case 3: return "(" + Integer(depth - 1) + " / " + std::to_string(1 + Pick(9)) + ")";
      case 4: return "LENGTH(" + Text(depth - 1) + ")";
      default: return "(-(" + Integer(depth - 1) + "))";
    }
  }

  // A non-empty ASCII text.
  std::string Text(int depth) {
    if (depth <= 0 || Pick(3) == 0) return Literal();
    switch (Pick(5)) {
      case 0: return Text(depth - 1) + " || " + Text(depth - 1);
      case 1: return "UPPER(" + Text(depth - 1) + ")";
      case 2: return "LOWER(" + Text(depth - 1) + ")";
      case 3: {
        // Start and length within the literal, so that both give a text.
        const std::string literal = Literal();
        const size_t length = literal.size() - 2;
        const size_t start = 1 + Pick(length);
        return "SUBSTRING(" + literal + ", " + std::to_string(start) + ", " +
               std::to_string(1 + Pick(length - start + 1)) + ")";
      }
      default: return Literal();
    }
  }

  std::string Condition(int depth) {
    switch (Pick(depth > 0 ? 9 : 6)) {
      case 0: return Left(depth) + " " + Comparison() + " " + Integer(depth);
      // Texts are compared in lower case: SQLite compares bytes, we collate.
      case 1: return "LOWER(" + Text(depth) + ") " + Comparison() + " LOWER(" + Text(depth) + ")";
      case 2: return Left(depth) + Not() + " BETWEEN " + Integer(depth) + " AND " + Integer(depth);
      case 3: return Left(depth) + Not() + " IN (" + Integer(depth) + ", " + Integer(depth) + ", " +
                     Integer(depth) + ")";
      case 4: return Text(depth) + Not() + " LIKE '" + Pattern() + "'";
      case 5: return "LOWER(" + Text(depth) + ") = " + Literal();
      case 6: return "NOT (" + Condition(depth - 1) + ")";
      case 7: return "(" + Condition(depth - 1) + ") AND (" + Condition(depth - 1) + ")";
      default: return "(" + Condition(depth - 1) + ") OR (" + Condition(depth - 1) + ")";
    }
  }

 private:
  size_t Pick(size_t n) { return rng_() % n; }
  // A condition that starts with '(' is a parenthesised condition in this
  // dialect, so a left operand in parentheses takes a sign first.
  std::string Left(int depth) {
    std::string text = Integer(depth);
    return text[0] == '(' ? "+" + text : text;
  }
  static std::string Number(int n) { return n < 0 ? "(" + std::to_string(n) + ")" : std::to_string(n); }
  std::string Not() { return Pick(3) == 0 ? " NOT" : ""; }
  std::string Comparison() {
    static const char* const kOps[] = {"=", "<>", "<", ">", "<=", ">="};
    return kOps[Pick(6)];
  }
  std::string Literal() {
    static const char kLetters[] = "abdefg";
    std::string text = "'";
    for (size_t i = 1 + Pick(4); i > 0; --i) text += kLetters[Pick(6)];
    return text + "'";
  }
  std::string Pattern() {
    static const char kLetters[] = "abdefg%_";
    std::string text;
    for (size_t i = 1 + Pick(5); i > 0; --i) text += kLetters[Pick(8)];
    return text;
  }

  std::mt19937 rng_;
};

class SQLiteDifferential : public ExpressionTest {
 protected:
  SQLitePeer sqlite_;
};

TEST_F(SQLiteDifferential, ConstantValuesAgree) {
  AgreeingGenerator generator(3);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = round % 2 ? generator.Integer(3) : generator.Text(3);
    SCOPED_TRACE(text);
    std::string ours;
    ASSERT_NO_THROW(ours = TextOf(text)) << text;
    // SQLite spells SUBSTRING as substr.
    std::string sql = text;
    for (size_t at = 0; (at = sql.find("SUBSTRING(", at)) != std::string::npos;) sql.replace(at, 10, "substr(");
    ASSERT_EQ(ours, sqlite_.Query("SELECT " + sql));
  }
}

TEST_F(SQLiteDifferential, ConditionsAgree) {
  AgreeingGenerator generator(4);
  for (int round = 0; round < 1500; ++round) {
    const std::string text = generator.Condition(2);
    SCOPED_TRACE(text);
    std::string sql = text;
    for (size_t at = 0; (at = sql.find("SUBSTRING(", at)) != std::string::npos;) sql.replace(at, 10, "substr(");
    const std::string peer = sqlite_.Query("SELECT CASE WHEN " + sql + " THEN 'TRUE' WHEN NOT (" +
                                           sql + ") THEN 'FALSE' ELSE 'NULL' END");
    std::string ours;
    ASSERT_NO_THROW(ours = Truth(text)) << text;
    ASSERT_EQ(ours, peer);
  }
}

struct Difference {
  const char* text;
  bool condition;
  const char* ours;  // value or truth; an error as "error NNNNN"
  const char* sqlite;
};

TEST_F(SQLiteDifferential, DeliberateDifferences) {
  const std::vector<Difference> cases = {
      // The empty string is NULL.
      {"'' IS NULL", true, "TRUE", "FALSE"},
      {"'a' || ''", false, "a", "a"},
      // Comparisons are never NULL.
      {"NULL = 1", true, "FALSE", "NULL"},
      {"NULL <> 1", true, "TRUE", "NULL"},
      // = ignores case under the Czech collation.
      {"'abc' = 'ABC'", true, "TRUE", "FALSE"},
      {"'ch' > 'h'", true, "TRUE", "FALSE"},
      // Division by zero is an error.
      {"1 / 0", false, "error 30128", "NULL"},
      // INTEGER is 32-bit: what does not fit raises.
      {"2147483647 + 1", false, "error 10891", "2147483648"},
  };
  for (const Difference& c : cases) {
    SCOPED_TRACE(c.text);
    std::string ours;
    const int32_t code = ErrorCode([&] { ours = c.condition ? Truth(c.text) : TextOf(c.text); });
    if (code != 0) ours = "error " + std::to_string(code);
    EXPECT_EQ(ours, c.ours);
    const std::string sql = c.condition ? "SELECT CASE WHEN " + std::string(c.text) +
                                              " THEN 'TRUE' WHEN NOT (" + c.text +
                                              ") THEN 'FALSE' ELSE 'NULL' END"
                                        : "SELECT " + std::string(c.text);
    EXPECT_EQ(sqlite_.Query(sql), c.sqlite);
  }
}

}  // namespace
}  // namespace kelvorin::testing
