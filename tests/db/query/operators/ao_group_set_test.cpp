// Grouping and set operations against models: groups over filtered and
// unordered input with copied keys and bare columns, aggregates over no
// rows, HAVING; UNION, INTERSECT and EXCEPT with and without ALL, columns
// paired by position or name in a type that holds both sides.
#include <map>
#include <random>

#include "db/query/operators/ao_group_by.h"
#include "db/query/operators/ao_union.h"
#include "tests/db/query/operators/operator_test_support.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;

class GroupSetTest : public OperatorTest {
 protected:
  // t(g, x, y): y is a function of g, so a bare y read from another group
  // shows.
  void SeedGroups() {
    MakeTable("t", {Field("g", C::String, 5), Field("x", C::Integer), Field("y", C::String, 8)},
              {{"b", "1", "yb"},
               {"a", "5", "ya"},
               {nullptr, "7", "ynull"},
               {"A", "2", "yA"},
               {"b", nullptr, "yb"},
               {"a", "3", "ya"},
               {nullptr, "1", "ynull"},
               {"c", "9", "yc"},
               {"b", "4", "yb"}});
    MakeTable("empty", {Field("g", C::String, 5), Field("x", C::Integer)}, {});
  }

  std::vector<std::string> Group(const std::string& table, const std::string& where, const TABSFields& group_by,
                                 std::vector<TABSSelectListItem> items, const std::string& having = "") {
    std::unique_ptr<TABSAO> child = Table(table);
    if (!where.empty()) Where(*child, where);
    auto group = std::make_unique<TABSAOGroupBy>(std::move(child), items, group_by);
    if (!having.empty()) Where(*group, having);
    group->SetProjection(items, false);
    return Sorted(Run(*group));
  }
};

TEST_F(GroupSetTest, GroupsAgreeWithTheModel) {
  SeedGroups();
  auto items = List({});
  items.push_back(Column("", "g"));
  items.push_back(Expr("COUNT(*)"));
  items.push_back(Expr("SUM(x)"));
  items.push_back(Column("", "y"));
  items.push_back(Expr("MAX(x) - MIN(x)"));
  items.push_back(Expr("COUNT(x)"));
  // NULL keys form one group; "a" and "A" two; the filter applies before.
  EXPECT_EQ(Group("t", "x <> 9 OR x IS NULL", {{"", "g"}}, std::move(items)),
            (std::vector<std::string>{"A|1|2|yA|0|1", "NULL|2|8|ynull|6|2", "a|2|8|ya|2|2", "b|3|5|yb|3|2"}));
}

TEST_F(GroupSetTest, HavingAndWholeInput) {
  SeedGroups();
  struct Case {
    std::string table;
    TABSFields group_by;
    std::string having;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"t", {{"", "g"}}, "COUNT(*) > 2", {"b|3|5"}},
      {"t", {{"", "g"}}, "SUM(x) >= 8", {"NULL|2|8", "a|2|8", "c|1|9"}},
      {"t", {}, "", {"a|9|32"}},  // bare g from some row of the input
      {"empty", {}, "", {"NULL|0|NULL"}},
      {"empty", {{"", "g"}}, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table + " " + c.having);
    auto items = List({});
    items.push_back(Column("", "g"));
    items.push_back(Expr("COUNT(*)"));
    items.push_back(Expr("SUM(x)"));
    std::vector<std::string> rows = Group(c.table, "", c.group_by, std::move(items), c.having);
    if (c.table == "t" && c.group_by.empty()) {
      ASSERT_EQ(rows.size(), 1u);
      rows[0] = "a" + rows[0].substr(rows[0].find('|'));
    }
    EXPECT_EQ(rows, c.expected);
  }
}

TEST_F(GroupSetTest, GroupKeyErrors) {
  SeedGroups();
  auto items = List({});
  EXPECT_EQ(ErrorCode([&] { TABSAOGroupBy(Table("t"), items, {{"", "nic"}}); }), 20245);
}

class SetOperationTest : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    std::mt19937 random(42);
    Rows l;
    Rows r;
    static const char* numbers[] = {"1", "2", "3", "4", nullptr};
    static const char* words[] = {"a", "A", "b", nullptr};
    for (int i = 0; i < 40; ++i) l.push_back({numbers[random() % 5], words[random() % 4]});
    for (int i = 0; i < 30; ++i) r.push_back({words[random() % 4], numbers[random() % 5]});
    MakeTable("l", {Field("x", C::Integer), Field("s", C::String, 3)}, l);
    MakeTable("r", {Field("s", C::String, 6), Field("x", C::LargeInt)}, r);
    for (const auto& row : l) left_.push_back(Key(row[0], row[1]));
    for (const auto& row : r) right_.push_back(Key(row[1], row[0]));
  }
  static std::string Key(const char* x, const char* s) {
    return std::string(x ? x : "NULL") + "|" + (s ? s : "NULL");
  }

  // SELECT x, s FROM table: r's columns are stored the other way round.
  std::unique_ptr<TABSAO> Side(const std::string& table) {
    auto op = Table(table);
    auto items = List({});
    items.push_back(Column("", "x"));
    items.push_back(Column("", "s"));
    op->SetProjection(items, false);
    return op;
  }

  std::vector<std::string> Set(TABSSetKind kind, bool all) {
    auto op = std::make_unique<TABSAOUnion>(Side("l"), Side("r"), std::vector<std::string>{}, !all,
                                            false, kind);
    auto items = List({});
    op->SetProjection(items, false);
    return Sorted(Run(*op));
  }

  std::vector<std::string> Model(TABSSetKind kind, bool all) {
    std::map<std::string, int64_t> m;
    std::map<std::string, int64_t> n;
    for (const auto& k : left_) ++m[k];
    for (const auto& k : right_) ++n[k];
    std::vector<std::string> rows;
    std::map<std::string, int64_t> keys = m;
    for (const auto& [k, c] : n) keys[k] += 0;
    for (const auto& [k, ignored] : keys) {
      int64_t copies = 0;
      if (kind == TABSSetKind::kUnion) copies = all ? m[k] + n[k] : 1;
      if (kind == TABSSetKind::kIntersect) copies = all ? std::min(m[k], n[k]) : (m[k] > 0 && n[k] > 0);
      if (kind == TABSSetKind::kExcept) copies = all ? std::max<int64_t>(m[k] - n[k], 0) : (m[k] > 0 && n[k] == 0);
      for (int64_t i = 0; i < copies; ++i) rows.push_back(k);
    }
    return Sorted(rows);
  }

  std::vector<std::string> left_;
  std::vector<std::string> right_;
};

TEST_F(SetOperationTest, CountsAgreeWithTheModel) {
  for (const TABSSetKind kind : {TABSSetKind::kUnion, TABSSetKind::kIntersect, TABSSetKind::kExcept}) {
    for (const bool all : {false, true}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(kind) << " all " << all);
      EXPECT_EQ(Set(kind, all), Model(kind, all));
    }
  }
}

TEST_F(SetOperationTest, PairingAndTypes) {
  // CORRESPONDING BY takes the listed names.
  auto by_name = std::make_unique<TABSAOUnion>(Side("l"), Side("r"), std::vector<std::string>{"s"},
                                               false, true, TABSSetKind::kUnion);
  EXPECT_EQ(by_name->ColumnCount(), 1);
  EXPECT_EQ(by_name->Columns()[0].data_type, C::String);
  EXPECT_EQ(by_name->Columns()[0].size, 6);
  auto by_position = std::make_unique<TABSAOUnion>(Side("l"), Side("r"), std::vector<std::string>{},
                                                   true, false, TABSSetKind::kUnion);
  EXPECT_EQ(by_position->Columns()[0].data_type, C::LargeInt);

  struct Case {
    std::vector<std::string> names;
    bool corresponding;
    int right_columns;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {{}, false, 1, 10851},
      {{"nic"}, true, 2, 10852},
  };
  for (const Case& c : cases) {
    auto right = Table("r");
    auto items = List({});
    items.push_back(Column("", "s"));
    if (c.right_columns == 2) items.push_back(Column("", "x"));
    right->SetProjection(items, false);
    EXPECT_EQ(ErrorCode([&] {
                TABSAOUnion(Side("l"), std::move(right), c.names, true, c.corresponding, TABSSetKind::kUnion);
              }),
              c.code);
  }
}

}  // namespace
}  // namespace kelvorin::testing
