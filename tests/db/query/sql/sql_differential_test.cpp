// SELECT against SQLite: seeded tables of 0 to 60 rows with NULLs and short
// strings of both cases, and queries from a grammar (DISTINCT; columns,
// expressions and the six aggregates; one to three tables joined by INNER,
// LEFT, RIGHT, FULL, comma and CROSS joins, a table joined to itself under an
// alias; WHERE with comparisons, AND/OR/NOT, IS NULL, LIKE, BETWEEN, IN;
// GROUP BY and HAVING; ORDER BY every output position, with TOP; UNION [ALL],
// INTERSECT and EXCEPT). The SQLite text is translated for this dialect's
// two-valued comparisons (a comparison with NULL is false, <> true; IN, LIKE
// and BETWEEN keep NULL) and for its text order: SQLite compares texts by two
// collations made of the engine's own comparison, the one of conditions (case
// ignored, so 'a' = 'A') and the one of ORDER BY, grouping and set operations
// (case kept). Results are compared as sequences under a total ORDER BY and
// as multisets otherwise. Metamorphic checks run the same engine over
// equivalent forms of one query.
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "db/query/expressions/expr_compare.h"
#include "tests/db/query/sql/sql_test_support.h"
#include "tests/db/sqlite_rows.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;

class SQLitePeer {
 public:
  SQLitePeer() {
    sqlite3_open(":memory:", &db_);
    sqlite3_create_collation(db_, "KCI", SQLITE_UTF8, nullptr, &CompareIgnoringCase);
    sqlite3_create_collation(db_, "KCS", SQLITE_UTF8, nullptr, &CompareKeepingCase);
  }
  ~SQLitePeer() { sqlite3_close(db_); }
  SQLitePeer(const SQLitePeer&) = delete;
  SQLitePeer& operator=(const SQLitePeer&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
  }
  std::vector<std::string> Query(const std::string& sql) { return SQLiteRows(db_, sql); }

 private:
  static TABSVariant Text(int size, const void* data) {
    TABSVariant value(TABSStorageType::String);
    value.SetString(std::string(static_cast<const char*>(data), static_cast<size_t>(size)));
    return value;
  }
  static int CompareIgnoringCase(void*, int a_size, const void* a, int b_size, const void* b) {
    const TABSCompareResult r = CompareForExpression(Text(a_size, a), Text(b_size, b), true);
    return r == kCompareEqual ? 0 : r == kCompareLess ? -1 : 1;
  }
  static int CompareKeepingCase(void*, int a_size, const void* a, int b_size, const void* b) {
    return CompareSignedForExpression(Text(a_size, a), Text(b_size, b), false);
  }

  sqlite3* db_ = nullptr;
};

// Numbers in one form on both sides (the engine may write a decimal comma,
// SQLite writes integral averages with ".0").
std::string NormalCell(std::string cell) {
  if (cell == "NULL" || cell.empty()) return cell;
  std::string dotted = cell;
  for (char& c : dotted) {
    if (c == ',') c = '.';
  }
  char* end = nullptr;
  const double number = std::strtod(dotted.c_str(), &end);
  if (end == dotted.c_str() || *end != '\0') return cell;
  char text[64];
  std::snprintf(text, sizeof text, "%.6g", std::fabs(number) < 1e-12 ? 0.0 : number);
  return text;
}

std::vector<std::string> NormalRows(const std::vector<std::string>& rows) {
  std::vector<std::string> out;
  for (const std::string& row : rows) {
    std::string normal;
    size_t start = 0;
    for (;;) {
      const size_t bar = row.find('|', start);
      normal += NormalCell(row.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
      if (bar == std::string::npos) break;
      normal += "|";
      start = bar + 1;
    }
    out.push_back(normal);
  }
  return out;
}

// One query in both dialects.
struct QueryPair {
  std::string engine;
  std::string sqlite;
  bool ordered = false;
};

class Grammar {
 public:
  explicit Grammar(uint32_t seed) : rng_(seed) {}

  QueryPair Query() {
    QueryPair q;
    if (Pick(5) == 0) {
      // A set operation over two SELECTs of the same column types.
      const std::vector<bool> types = ColumnTypes();
      static const char* const kOps[] = {"UNION", "UNION ALL", "INTERSECT", "EXCEPT"};
      const std::string op = kOps[Pick(4)];
      QueryPair left = Select(types, false);
      QueryPair right = Select(types, false);
      q.engine = left.engine + " " + op + " " + right.engine;
      q.sqlite = left.sqlite + " " + op + " " + right.sqlite;
      if (Pick(2) == 0) {
        const std::string order = OrderAll(types.size());
        q.engine += order;
        q.sqlite += order;
        q.ordered = true;
      }
      return q;
    }
    return Select(ColumnTypes(), true);
  }

 private:
  struct Column {
    std::string name;  // qualified
    bool text;
  };

  uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }

  std::vector<bool> ColumnTypes() {
    std::vector<bool> types(1 + Pick(3));
    for (size_t i = 0; i < types.size(); ++i) types[i] = Pick(3) == 0;
    return types;
  }

  static std::string OrderAll(size_t count) {
    std::string order = " ORDER BY ";
    for (size_t i = 1; i <= count; ++i) order += (i > 1 ? ", " : "") + std::to_string(i);
    return order;
  }

  const Column& Any(bool text) {
    std::vector<const Column*> fitting;
    for (const Column& c : columns_) {
      if (c.text == text) fitting.push_back(&c);
    }
    return *fitting[Pick(static_cast<uint32_t>(fitting.size()))];
  }

  std::string Constant(bool text) {
    static const char* const kTexts[] = {"'a'", "'b'", "'ab'", "'ba'", "'d'", "'e'", "'bd'", "'A'", "'Ba'"};
    return text ? kTexts[Pick(9)] : std::to_string(static_cast<int>(Pick(7)) - 1);
  }

  // A value of the type for the select list.
  std::string Value(bool text) {
    if (text || Pick(3) != 0) return Any(text).name;
    switch (Pick(3)) {
      case 0: return Any(false).name + " + " + std::to_string(Pick(5));
      case 1: return Any(false).name + " * 2";
      default: return Any(false).name + " - " + Any(false).name;
    }
  }

  // A condition in both dialects.
  void Condition(int depth, std::string* engine, std::string* sqlite) {
    const uint32_t kind = depth <= 0 ? Pick(6) : Pick(9);
    const bool text = Pick(3) == 0;
    const std::string x = Any(text).name;
    switch (kind) {
      case 0: case 1: {
        static const char* const kOps[] = {"=", "<", ">", "<=", ">=", "<>"};
        const std::string op = kOps[Pick(6)];
        const std::string y = Pick(2) == 0 ? Constant(text) : Any(text).name;
        *engine = x + " " + op + " " + y;
        *sqlite = "COALESCE(" + x + " " + op + " " + y + " COLLATE KCI, " + (op == "<>" ? "1" : "0") + ")";
        return;
      }
      case 2:
        *engine = *sqlite = x + (Pick(2) == 0 ? " IS NULL" : " IS NOT NULL");
        return;
      case 3: {
        if (!text) break;
        static const char* const kPatterns[] = {"'a%'", "'%b'", "'_'", "'%d%'"};
        const std::string pattern = kPatterns[Pick(4)];
        *engine = *sqlite = x + " LIKE " + pattern;
        return;
      }
      case 4: {
        if (text) break;
        const int low = static_cast<int>(Pick(5)) - 1;
        const std::string between = " BETWEEN " + std::to_string(low) + " AND " + std::to_string(low + Pick(4));
        *engine = *sqlite = x + between;
        return;
      }
      case 5: {
        const std::string list = " IN (" + Constant(text) + ", " + Constant(text) + ")";
        *engine = x + list;
        *sqlite = x + " COLLATE KCI" + list;
        return;
      }
      case 6: {
        std::string e, s;
        Condition(depth - 1, &e, &s);
        *engine = "NOT (" + e + ")";
        *sqlite = "NOT (" + s + ")";
        return;
      }
      default: {
        std::string e1, s1, e2, s2;
        Condition(depth - 1, &e1, &s1);
        Condition(depth - 1, &e2, &s2);
        const std::string op = kind == 7 ? " AND " : " OR ";
        *engine = "(" + e1 + ")" + op + "(" + e2 + ")";
        *sqlite = "(" + s1 + ")" + op + "(" + s2 + ")";
        return;
      }
    }
    *engine = *sqlite = x + " IS NOT NULL";
  }

  // FROM with one to three tables, a table may come twice under aliases;
  // equalities a comma join needs go to WHERE.
  std::string From(std::vector<std::string>* where_engine, std::vector<std::string>* where_sqlite) {
    static const char* const kTables[] = {"t1", "t2", "t3"};
    const uint32_t count = 1 + Pick(3);
    columns_.clear();
    std::string from;
    std::vector<std::string> names;  // how each table is named in the query
    // An explicit join sees the tables since the last comma only.
    uint32_t group_start = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const std::string source = Pick(4) == 0 ? kTables[Pick(3)] : kTables[i];
      const bool used = std::find(names.begin(), names.end(), source) != names.end();
      const std::string name = used || Pick(4) == 0 ? "x" + std::to_string(i) : source;
      const std::string table = name == source ? source : source + " " + name;
      const std::string key = Pick(2) == 0 ? "a" : "b";
      const uint32_t kind = Pick(6);
      if (kind == 2) group_start = i;
      const std::string previous = i == 0 ? "" : names[kind == 2 ? Pick(i) : group_start + Pick(i - group_start)];
      if (i == 0) {
        from = table;
      } else {
        switch (kind) {
          case 0: from += " INNER JOIN " + table + " ON " + previous + "." + key + " = " + name + "." + key; break;
          case 1: from += " LEFT JOIN " + table + " ON " + previous + "." + key + " = " + name + "." + key; break;
          case 2:
            from += ", " + table;
            where_engine->push_back(previous + "." + key + " = " + name + "." + key);
            where_sqlite->push_back(previous + "." + key + " = " + name + "." + key);
            break;
          case 4: from += " RIGHT JOIN " + table + " ON " + previous + "." + key + " = " + name + "." + key; break;
          case 5: from += " FULL JOIN " + table + " ON " + previous + "." + key + " = " + name + "." + key; break;
          default: from += " CROSS JOIN " + table; break;
        }
      }
      names.push_back(name);
      columns_.push_back({name + ".a", false});
      columns_.push_back({name + ".b", false});
      columns_.push_back({name + ".s", true});
    }
    return from;
  }

  QueryPair Select(const std::vector<bool>& types, bool may_order) {
    QueryPair q;
    std::vector<std::string> where_engine;
    std::vector<std::string> where_sqlite;
    const std::string from = From(&where_engine, &where_sqlite);
    const bool grouped = Pick(4) == 0;
    std::string list;
    std::string group_by;
    if (grouped) {
      // Group columns first, then aggregates of the wanted types.
      bool first = true;
      for (size_t i = 0; i < types.size(); ++i) {
        std::string item;
        if (i == 0 && Pick(3) != 0) {
          item = Any(types[i]).name;
          group_by = " GROUP BY " + item;
        } else if (types[i]) {
          item = (Pick(2) == 0 ? "MIN(" : "MAX(") + Any(true).name + ")";
        } else {
          static const char* const kAggregates[] = {"COUNT(*)", "COUNT(", "SUM(", "AVG(", "MIN(", "MAX("};
          const uint32_t a = Pick(6);
          item = a == 0 ? "COUNT(*)" : std::string(kAggregates[a]) + Any(false).name + ")";
        }
        list += (first ? "" : ", ") + item;
        first = false;
      }
    } else {
      for (size_t i = 0; i < types.size(); ++i) list += (i > 0 ? ", " : "") + Value(types[i]);
    }
    const bool distinct = !grouped && Pick(5) == 0;
    std::string head = std::string("SELECT ") + (distinct ? "DISTINCT " : "");
    if (Pick(5) < 3) {
      std::string e, s;
      Condition(2, &e, &s);
      where_engine.push_back("(" + e + ")");
      where_sqlite.push_back("(" + s + ")");
    }
    std::string engine_where;
    std::string sqlite_where;
    for (size_t i = 0; i < where_engine.size(); ++i) {
      engine_where += (i == 0 ? " WHERE " : " AND ") + where_engine[i];
      sqlite_where += (i == 0 ? " WHERE " : " AND ") + where_sqlite[i];
    }
    std::string having_engine;
    std::string having_sqlite;
    if (grouped && !group_by.empty() && Pick(3) == 0) {
      const uint32_t k = Pick(3);
      having_engine = " HAVING COUNT(*) > " + std::to_string(k);
      having_sqlite = having_engine;
    }
    std::string top;
    std::string limit;
    std::string order;
    if (may_order && Pick(2) == 0) {
      order = OrderAll(types.size());
      q.ordered = true;
      if (Pick(3) == 0) {
        const uint32_t n = Pick(6);
        const uint32_t m = 1 + Pick(3);
        top = "TOP " + std::to_string(n) + ", " + std::to_string(m) + " ";
        limit = " LIMIT " + std::to_string(n) + " OFFSET " + std::to_string(m - 1);
      }
    }
    q.engine = head + top + list + " FROM " + from + engine_where + group_by + having_engine + order;
    q.sqlite = head + list + " FROM " + from + sqlite_where + group_by + having_sqlite + order + limit;
    return q;
  }

  std::mt19937 rng_;
  std::vector<Column> columns_;
};

class SqlDifferentialTest : public SqlTest {
 protected:
  // Three tables a INTEGER, b INTEGER, s STRING(4) of 0 to 60 rows each, in
  // both databases.
  void Seed(uint32_t seed) {
    std::mt19937 rng(seed);
    const auto pick = [&](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); };
    static const char* const kTexts[] = {"a", "b", "ab", "ba", "d", "e", "bd", "eda", "A", "Ab", "bA", "E", "BD"};
    for (const char* table : {"t1", "t2", "t3"}) {
      const uint32_t count = pick(4) == 0 ? pick(3) : pick(61);
      std::vector<std::vector<std::string>> values;
      for (uint32_t r = 0; r < count; ++r) {
        values.push_back({pick(5) == 0 ? "" : std::to_string(pick(6)), pick(5) == 0 ? "" : std::to_string(pick(4)),
                          pick(5) == 0 ? "" : kTexts[pick(13)]});
      }
      std::vector<std::vector<const char*>> rows;
      for (const auto& row : values) {
        std::vector<const char*> cells;
        for (const std::string& cell : row) cells.push_back(cell.empty() ? nullptr : cell.c_str());
        rows.push_back(cells);
      }
      MakeTable(table, {Field("a", C::Integer), Field("b", C::Integer), Field("s", C::String, 4)}, rows);
      peer_.Exec(std::string("CREATE TABLE ") + table + " (a INTEGER, b INTEGER, s TEXT COLLATE KCS)");
      for (const auto& row : values) {
        std::string insert = std::string("INSERT INTO ") + table + " VALUES (";
        for (size_t i = 0; i < row.size(); ++i) {
          const std::string cell = row[i].empty() ? "NULL" : (i == 2 ? "'" + row[i] + "'" : row[i]);
          insert += (i > 0 ? ", " : "") + cell;
        }
        peer_.Exec(insert + ")");
      }
    }
  }

  SQLitePeer peer_;
};

class SqlGrammarTest : public SqlDifferentialTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(SqlGrammarTest, QueriesAgreeWithSQLite) {
  const uint32_t seed = GetParam();
  Seed(seed);
  Grammar grammar(seed * 7919);
  for (int i = 0; i < 100; ++i) {
    const QueryPair q = grammar.Query();
    SCOPED_TRACE(q.engine);
    std::vector<std::string> engine;
    const std::string error = ErrorOf([&] { engine = Rows(q.engine); });
    ASSERT_EQ(error, "") << q.sqlite;
    std::vector<std::string> expected = NormalRows(peer_.Query(q.sqlite));
    engine = NormalRows(engine);
    if (!q.ordered) {
      expected = Sorted(expected);
      engine = Sorted(engine);
    }
    ASSERT_EQ(engine, expected) << q.sqlite;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SqlGrammarTest, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));

TEST_F(SqlDifferentialTest, EquivalentFormsAgree) {
  Seed(11);
  const std::vector<std::vector<std::string>> groups = {
      // CROSS JOIN + WHERE, the comma join in every order, the explicit join.
      {"SELECT t1.a, t2.b, t3.s FROM t1 CROSS JOIN t2 CROSS JOIN t3 WHERE t1.a = t2.a AND t2.b = t3.b",
       "SELECT t1.a, t2.b, t3.s FROM t1, t2, t3 WHERE t1.a = t2.a AND t2.b = t3.b",
       "SELECT t1.a, t2.b, t3.s FROM t3, t1, t2 WHERE t1.a = t2.a AND t2.b = t3.b",
       "SELECT t1.a, t2.b, t3.s FROM t2, t3, t1 WHERE t1.a = t2.a AND t2.b = t3.b",
       "SELECT t1.a, t2.b, t3.s FROM t1, t3, t2 WHERE t1.a = t2.a AND t2.b = t3.b",
       "SELECT t1.a, t2.b, t3.s FROM t1 JOIN t2 ON t1.a = t2.a JOIN t3 ON t2.b = t3.b"},
      // DISTINCT equals GROUP BY over all columns.
      {"SELECT DISTINCT a, s FROM t1", "SELECT a, s FROM t1 GROUP BY a, s"},
  };
  for (const auto& group : groups) {
    const std::vector<std::string> first = Sorted(Rows(group[0]));
    for (size_t i = 1; i < group.size(); ++i) {
      SCOPED_TRACE(group[i]);
      EXPECT_EQ(Sorted(Rows(group[i])), first);
    }
  }
  // UNION equals UNION ALL without its repeated rows.
  std::vector<std::string> all = Sorted(Rows("SELECT a, s FROM t1 UNION ALL SELECT b, s FROM t2"));
  all.erase(std::unique(all.begin(), all.end()), all.end());
  EXPECT_EQ(Sorted(Rows("SELECT a, s FROM t1 UNION SELECT b, s FROM t2")), all);
}

}  // namespace
}  // namespace kelvorin::testing
