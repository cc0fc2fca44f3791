// The main invariant of scans: whatever the cursor's order and whatever
// access path a search is forced to take, a restricted cursor sees exactly
// the records a plain walk over the table admits, in its order: first to
// the end and last to the beginning, with counts, record numbers and
// going to a record number agreeing, and the filter tree as it was.
// Filters and ranges are generated (NULLs, fractions and constants beyond
// the field's range, empty texts, <>, two fields, OR and NOT, partial
// keys); random writes come between the rounds. The integer filters are
// also run through SQLite.
//
// KELVORIN_SCANS_SEED and KELVORIN_SCANS_ROUNDS choose a longer run.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

#include "db/query/expressions/expr_text.h"
#include "tests/db/tables/scans/scans_test_util.h"

namespace kelvorin::testing {
namespace {

int64_t EnvOr(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::strtoll(value, nullptr, 10) : fallback;
}

const std::string kShared = "Dvorakova Marie Anna";  // 20 bytes
const std::vector<std::optional<std::string>> kNames{
    kShared, kShared + "a", kShared + "B", kShared + "ch", kShared + "h", kShared + "\xe1",
    "dvorakova marie anna x", "DVORAKOVA MARIE ANNA", "Ab", "ab", "Abc", "ABD", "Chalupa", "Cihla", "Hora",
    "\xc8" "ech", "cech", "", std::nullopt};

// A generated filter: its text, the flags it is parsed with, and its SQL
// form when it compares integers only.
struct GeneratedFilter {
  std::string text;
  bool partial_key = false;
  bool case_insensitive = true;
  std::optional<std::string> sql;
};

class FilterGenerator {
 public:
  explicit FilterGenerator(uint32_t seed) : random_(seed) {}

  GeneratedFilter Next() {
    GeneratedFilter filter;
    filter.case_insensitive = Pick(4) != 0;
    sql_ok_ = true;
    partial_ = false;
    std::string sql;
    filter.text = Condition(2, sql);
    filter.partial_key = partial_;
    if (sql_ok_) filter.sql = sql;
    return filter;
  }

 private:
  uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }

  std::string Condition(int depth, std::string& sql) {
    if (depth <= 0) return Atom(sql);
    std::string a_sql, b_sql, c_sql;
    switch (Pick(7)) {
      case 0:
      case 1: {
        const std::string a = Atom(a_sql), b = Atom(b_sql);
        sql = a_sql + " AND " + b_sql;
        return a + " AND " + b;
      }
      case 2: {
        const std::string a = Atom(a_sql), b = Atom(b_sql), c = Atom(c_sql);
        sql = a_sql + " AND " + b_sql + " AND " + c_sql;
        return a + " AND " + b + " AND " + c;
      }
      case 3: {
        const std::string a = Atom(a_sql), b = Condition(depth - 1, b_sql);
        sql = "(" + a_sql + " OR " + b_sql + ")";
        return "(" + a + " OR " + b + ")";
      }
      case 4: {
        const std::string a = Condition(depth - 1, a_sql);
        sql = "NOT (" + a_sql + ")";
        return "NOT (" + a + ")";
      }
      case 5: {
        const std::string a = Atom(a_sql), b = Atom(b_sql), c = Atom(c_sql);
        sql = a_sql + " AND (" + b_sql + " OR " + c_sql + ")";
        return a + " AND (" + b + " OR " + c + ")";
      }
      default:
        return Atom(sql);
    }
  }

  std::string Atom(std::string& sql) {
    static const std::vector<std::string> kOps{"=", "<>", "<", ">", "<=", ">="};
    static const std::vector<std::string> kIntFields{"Kolo", "Kolo", "Stul", "Body"};
    static const std::vector<std::string> kConstants{"-1", "0", "2", "3", "3", "5", "7", "9", "11", "2.5",
                                                     "3000000000", "-3000000000", "NULL"};
    const std::string op = kOps[Pick(static_cast<uint32_t>(kOps.size()))];
    const auto sql_atom = [&](const std::string& text) {
      // The engine's comparisons are never NULL: false with a NULL operand,
      // but true for <>.
      sql = "COALESCE((" + text + "), " + (op == "<>" ? "1" : "0") + ")";
      return text;
    };
    switch (Pick(10)) {
      case 0:
      case 1:
      case 2: {
        const std::string field = kIntFields[Pick(4)];
        return sql_atom(field + " " + op + " " + kConstants[Pick(static_cast<uint32_t>(kConstants.size()))]);
      }
      case 3: {
        const std::string field = kIntFields[Pick(4)];
        return sql_atom(kConstants[Pick(static_cast<uint32_t>(kConstants.size()))] + " " + op + " " + field);
      }
      case 4:
        return sql_atom(std::string(Pick(2) ? "Kolo " : "Stul ") + op + (Pick(2) ? " Stul" : " Body"));
      case 5:
      case 6: {
        static const std::vector<std::string> kTexts{kShared, "dvorakova marie anna", "Ab", "ab", "H",
                                                     "Chalupa", "cech", kShared + "ch", "Hora", ""};
        sql_ok_ = false;
        return "Jmeno " + op + " '" + kTexts[Pick(static_cast<uint32_t>(kTexts.size()))] + "'";
      }
      case 7: {
        static const std::vector<std::string> kPrefixes{"Ab*", "dvo*", "Ch*", "*"};
        sql_ok_ = false;
        partial_ = true;
        return "Jmeno = '" + kPrefixes[Pick(4)] + "'";
      }
      default: {
        const std::string value = std::to_string(Pick(10));
        return sql_atom("Kolo " + op + " " + value);
      }
    }
  }

  std::mt19937 random_;
  bool sql_ok_ = true;
  bool partial_ = false;
};

class SQLitePeer {
 public:
  SQLitePeer() {
    sqlite3_open(":memory:", &db_);
    Exec("CREATE TABLE seskupeni (id INTEGER, Kolo INTEGER, Stul INTEGER, Body INTEGER)");
  }
  ~SQLitePeer() { sqlite3_close(db_); }
  SQLitePeer(const SQLitePeer&) = delete;
  SQLitePeer& operator=(const SQLitePeer&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(error, nullptr) << sql << ": " << (error != nullptr ? error : "");
    sqlite3_free(error);
  }
  std::set<int64_t> Ids(const std::string& where) {
    std::set<int64_t> ids;
    sqlite3_stmt* statement = nullptr;
    const std::string sql = "SELECT id FROM seskupeni WHERE " + where;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
      return ids;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) ids.insert(sqlite3_column_int64(statement, 0));
    sqlite3_finalize(statement);
    return ids;
  }

 private:
  sqlite3* db_ = nullptr;
};

struct Order {
  std::string index;  // empty: storage order
};

class ScansModelTest : public ScanTableTest {
 protected:
  uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }
  std::optional<int32_t> Maybe(int32_t low, int32_t high, int null_percent) {
    if (static_cast<int>(Pick(100)) < null_percent) return std::nullopt;
    return low + static_cast<int32_t>(Pick(static_cast<uint32_t>(high - low + 1)));
  }
  SeatRow RandomRow() {
    SeatRow row;
    row.kolo = Maybe(0, 9, 12);
    row.stul = Maybe(1, 12, 8);
    row.jmeno = kNames[Pick(static_cast<uint32_t>(kNames.size()))];
    row.body = static_cast<int32_t>(Pick(21));
    return row;
  }

  void RandomWrites(int count) {
    for (int i = 0; i < count; ++i) {
      const std::vector<StoredRow> rows = Rows();
      const uint32_t what = Pick(10);
      if (what < 6 || rows.empty()) {
        Insert(RandomRow());
        continue;
      }
      const StoredRow& victim = rows[Pick(static_cast<uint32_t>(rows.size()))];
      if (what < 9) {
        SeatRow row = RandomRow();
        std::vector<uint8_t> record = RecordOf(row);
        // Keep the record's own id.
        std::copy_n(victim.record.begin() + table_->Metadata().Fields().Items(FieldNo("id"))->MemoryOffset(), 4,
                    record.begin() + table_->Metadata().Fields().Items(FieldNo("id"))->MemoryOffset());
        record[0] &= static_cast<uint8_t>(~1u);
        const TABSPostResult result =
            table_->UpdateRecord(*session_, victim.id, record.data(), victim.record.data());
        EXPECT_TRUE(result.Succeeded()) << result.message;
      } else {
        EXPECT_TRUE(table_->DeleteRecord(*session_, victim.id, victim.record.data()).Succeeded());
      }
    }
  }

  struct StoredRow {
    TABSRecordId id;
    std::vector<uint8_t> record;
  };
  std::vector<StoredRow> Rows() {
    std::vector<StoredRow> rows;
    table_->ForEachRecord(session_->SessionNumber(), [&](TABSRecordId id, const uint8_t* record) {
      rows.push_back({id, std::vector<uint8_t>(record, record + RecordSize())});
    });
    return rows;
  }

  void LoadPeer(SQLitePeer& peer) {
    peer.Exec("DELETE FROM seskupeni");
    std::string sql = "INSERT INTO seskupeni VALUES ";
    bool first = true;
    for (const StoredRow& row : Rows()) {
      const auto value = [&](const char* field) {
        const std::string text = Text(row.record.data(), field);
        return text;
      };
      sql += (first ? "(" : ", (") + value("id") + ", " + value("Kolo") + ", " + value("Stul") + ", " +
             value("Body") + ")";
      first = false;
    }
    if (!first) peer.Exec(sql);
  }

  // What the cursor must see: the records a walk over the table admits, in
  // the cursor's order, one per key group under a distinct count.
  std::vector<int64_t> Expected(TABSExpression& model_filter, int32_t index_position) {
    std::vector<StoredRow> rows = Rows();
    std::vector<StoredRow> passing;
    for (StoredRow& row : rows) {
      model_filter.BindToRecord(row.record.data());
      if (!model_filter.GetBooleanValue()) continue;
      if (index_position >= 0 && !InRange(row.record.data(), index_position)) continue;
      passing.push_back(std::move(row));
    }
    if (index_position >= 0) {
      TABSBTreeRecordIndex& index = table_->IndexManager().Index(index_position);
      const int32_t columns = index.KeyLayout().ColumnCount();
      std::stable_sort(passing.begin(), passing.end(), [&](const StoredRow& a, const StoredRow& b) {
        const int order = index.CompareRecords(a.record.data(), b.record.data(), columns);
        return order != 0 ? order < 0 : a.id < b.id;
      });
      if (cursor_->DistinctCount() > 0) {
        const int32_t distinct = std::min(cursor_->DistinctCount(), columns);
        std::vector<StoredRow> firsts;
        for (StoredRow& row : passing) {
          if (firsts.empty() ||
              index.CompareRecords(firsts.back().record.data(), row.record.data(), distinct) != 0) {
            firsts.push_back(std::move(row));
          }
        }
        passing = std::move(firsts);
      }
    }
    std::vector<int64_t> ids;
    for (const StoredRow& row : passing) ids.push_back(Id(row.record.data()));
    return ids;
  }

  bool InRange(const uint8_t* record, int32_t index_position) {
    TABSBTreeRecordIndex& index = table_->IndexManager().Index(index_position);
    const int32_t columns = index.KeyLayout().ColumnCount();
    const auto count = [&](const TABSRangeBound& b) {
      return b.columns == 0 || b.columns > columns ? columns : b.columns;
    };
    const TABSRangeBound& start = cursor_->RangeStart();
    if (start.present) {
      const int order = index.CompareRecords(record, start.record.data(), count(start));
      if (start.exclusive ? order <= 0 : order < 0) return false;
    }
    const TABSRangeBound& end = cursor_->RangeEnd();
    if (end.present) {
      const int order = index.CompareRecords(record, end.record.data(), count(end));
      if (end.exclusive ? order >= 0 : order > 0) return false;
    }
    return true;
  }

  void RandomRange(int32_t columns) {
    const auto bound = [&](std::vector<uint8_t>& record) {
      record = RecordOf(RandomRow());
      return record.data();
    };
    std::vector<uint8_t> start, end;
    const uint8_t* start_record = Pick(2) ? bound(start) : nullptr;
    const uint8_t* end_record = Pick(2) ? bound(end) : nullptr;
    cursor_->SetRange(start_record, static_cast<int32_t>(Pick(static_cast<uint32_t>(columns + 2))), Pick(2) == 0,
                      end_record, static_cast<int32_t>(Pick(static_cast<uint32_t>(columns + 2))), Pick(2) == 0,
                      RecordSize());
  }

  // Every check of one order and one access path.
  void CheckCursor(const std::vector<int64_t>& expected, const std::string& trace) {
    SCOPED_TRACE(trace);
    TABSScanCursor& cursor = *cursor_;
    const bool count_first = Pick(2) == 0;
    if (count_first) {
      EXPECT_EQ(TABSTableScans::RecordCount(cursor), static_cast<int64_t>(expected.size()));
    }
    std::vector<int64_t> forward;
    for (auto r = TABSTableScans::GetRecord(cursor, TABSGetRecordMode::kFirst); r == TABSGetRecordResult::kFound;
         r = TABSTableScans::GetRecord(cursor, TABSGetRecordMode::kNext)) {
      forward.push_back(Id(cursor.Record().data()));
      if (count_first) {
        EXPECT_EQ(TABSTableScans::RecordNumber(cursor), static_cast<int64_t>(forward.size()));
      }
      if (forward.size() > expected.size() + 5) break;
    }
    EXPECT_TRUE(cursor.AfterLast());
    EXPECT_EQ(TABSTableScans::GetRecord(cursor, TABSGetRecordMode::kNext), TABSGetRecordResult::kEndOfIndex);
    EXPECT_EQ(forward, expected);
    std::vector<int64_t> backward = Backward(cursor);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
    EXPECT_TRUE(cursor.BeforeFirst());
    EXPECT_EQ(TABSTableScans::RecordCount(cursor), static_cast<int64_t>(expected.size()));
    if (expected.empty()) {
      TABSTableScans::GoToRecordNumber(cursor, 1);
      EXPECT_TRUE(cursor.BeforeFirst());
      return;
    }
    const int64_t n = static_cast<int64_t>(expected.size());
    for (int64_t number : {int64_t{-3}, int64_t{1}, n / 2, n, n + 4, 1 + static_cast<int64_t>(Pick(static_cast<uint32_t>(n)))}) {
      TABSTableScans::GoToRecordNumber(cursor, number);
      const int64_t landed = std::clamp<int64_t>(number, 1, n);
      ASSERT_TRUE(cursor.OnRecord()) << number;
      EXPECT_EQ(Id(cursor.Record().data()), expected[static_cast<size_t>(landed - 1)]) << number;
      EXPECT_EQ(TABSTableScans::RecordNumber(cursor), landed) << number;
    }
  }

  std::mt19937 random_;
};

TEST_F(ScansModelTest, EveryOrderAndAccessPathSeesTheModel) {
  const uint32_t seed = static_cast<uint32_t>(EnvOr("KELVORIN_SCANS_SEED", 14));
  const int64_t rounds = EnvOr("KELVORIN_SCANS_ROUNDS", 5);
  random_.seed(seed);
  FilterGenerator generator(seed);
  SQLitePeer peer;
  for (int i = 0; i < 70; ++i) Insert(RandomRow());
  const TABSIndexDefs& indexes = table_->Metadata().Indexes();
  for (int64_t round = 0; round < rounds; ++round) {
    const GeneratedFilter generated = generator.Next();
    SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + ": " + generated.text);
    std::unique_ptr<TABSExpression> filter, model_filter;
    filter = Filter(generated.text, generated.partial_key, generated.case_insensitive);
    model_filter = Filter(generated.text, generated.partial_key, generated.case_insensitive);
    const std::unique_ptr<TABSExprNode> pristine = filter->RootNode()->Clone();
    if (generated.sql) {
      LoadPeer(peer);
      cursor_->SetIndexId(-1);
      cursor_->SetFilter(model_filter.get());
      const std::vector<int64_t> model = Expected(*model_filter, -1);
      EXPECT_EQ(std::set<int64_t>(model.begin(), model.end()), peer.Ids(*generated.sql)) << *generated.sql;
    }
    // Orders: storage, then each index.
    for (int32_t order = -1; order < indexes.Count(); ++order) {
      cursor_->SetIndexId(order < 0 ? -1 : indexes.Items(order)->ObjectId());
      cursor_->SetFilter(filter.get());
      if (order >= 0) {
        const int32_t columns = static_cast<int32_t>(indexes.Items(order)->Columns().size());
        if (Pick(2) == 0) RandomRange(columns);
        cursor_->SetDistinctCount(Pick(3) == 0 ? 1 + static_cast<int32_t>(Pick(static_cast<uint32_t>(columns))) : 0);
      } else {
        cursor_->SetDistinctCount(0);
      }
      const std::vector<int64_t> expected = Expected(*model_filter, order);
      // Paths: the cost rule's choice, storage order, each index.
      for (int32_t path = -2; path < indexes.Count(); ++path) {
        if (path == -2) {
          cursor_->ForceAccessPath(TABSAccessPath::kAuto);
        } else if (path == -1) {
          cursor_->ForceAccessPath(TABSAccessPath::kStorage);
        } else {
          cursor_->ForceAccessPath(TABSAccessPath::kIndex, indexes.Items(path)->ObjectId());
        }
        CheckCursor(expected, "order " + (order < 0 ? std::string("storage") : indexes.Items(order)->Name()) +
                                  ", path " + std::to_string(path) + ", distinct " +
                                  std::to_string(cursor_->DistinctCount()) +
                                  (cursor_->RangeStart().present || cursor_->RangeEnd().present ? ", range" : ""));
        ASSERT_TRUE(SameTree(*pristine, *filter->RootNode())) << ExpressionText(*filter->RootNode());
        if (HasFailure()) return;
      }
      cursor_->ForceAccessPath(TABSAccessPath::kAuto);
    }
    cursor_->SetFilter(nullptr);
    cursor_->SetIndexId(-1);
    RandomWrites(12);
  }
}

}  // namespace
}  // namespace kelvorin::testing
