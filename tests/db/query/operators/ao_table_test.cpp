// The table operator as a statement's only operator: projection with
// aliases and expressions, conditions, order, DISTINCT and TOP.
#include "tests/db/query/operators/operator_test_support.h"

#include <algorithm>

#include "db/query/operators/ao_pass_through.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/temporary/temporary_budget.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;

class TableOperatorTest : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    MakeTable("hraci", {Field("id", C::Integer), Field("Jmeno", C::String, 20), Field("Body", C::Integer)},
              {{"1", "Novak", "3"},
               {"2", "svoboda", "1"},
               {"3", "Dvorak", nullptr},
               {"4", "novak", "3"},
               {"5", "Cerny", "2"}});
  }
};

TEST_F(TableOperatorTest, ProjectionConditionAndOrder) {
  struct Case {
    std::string where;
    std::vector<std::string> order;
    std::vector<std::string> descending;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"", {}, {}, {"1|Novak", "2|svoboda", "3|Dvorak", "4|novak", "5|Cerny"}},
      {"Body = 3", {}, {}, {"1|Novak", "4|novak"}},
      {"Body IS NULL", {}, {}, {"3|Dvorak"}},
      {"Body > 1 AND Jmeno LIKE 'n%'", {}, {}, {"1|Novak", "4|novak"}},
      {"", {"k"}, {"k"}, {"5|Cerny", "4|novak", "3|Dvorak", "2|svoboda", "1|Novak"}},
      {"id < 4", {"Jmeno"}, {}, {"3|Dvorak", "1|Novak", "2|svoboda"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    auto op = Table("hraci", "h");
    if (!c.where.empty()) Where(*op, c.where);
    auto items = List({});
    items.push_back(Column("h", "id", "k"));
    items.push_back(Column("", "Jmeno"));
    op->SetProjection(items, false);
    if (!c.order.empty()) op->SetSortOrder(c.order, c.descending, {});
    EXPECT_EQ(Run(*op), c.expected);
  }
}

TEST_F(TableOperatorTest, ExpressionsAndNames) {
  auto op = Table("hraci");
  Where(*op, "id <= 2");
  auto items = List({});
  items.push_back(Expr("Body * 10"));
  items.push_back(Expr("UPPER(Jmeno)", "Expr"));
  items.push_back(Column("", "Body", "Expr"));
  op->SetProjection(items, false);
  EXPECT_EQ(Run(*op), (std::vector<std::string>{"30|NOVAK|3", "10|SVOBODA|1"}));
  EXPECT_EQ(op->OutputNames(), (std::vector<std::string>{"Expr", "Expr_1", "Expr_2"}));
}

TEST_F(TableOperatorTest, DistinctAndTop) {
  struct Case {
    bool distinct;
    int64_t max_rows;
    int64_t first_row;
    std::string where;
    bool ordered;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      // Equal rows far apart in the table are still one.
      {true, -1, 1, "", true, {"NULL", "1", "2", "3"}},
      // The offset counts rows that passed the condition and DISTINCT.
      {true, 2, 2, "Body IS NOT NULL", true, {"2", "3"}},
      {false, 2, 2, "Body > 1", false, {"3", "2"}},
      {false, 3, 1, "", true, {"NULL", "1", "2"}},
      {false, 10, 4, "", true, {"3", "3"}},
      {false, 0, 1, "", true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.distinct << " " << c.max_rows << "," << c.first_row << " " << c.where);
    std::unique_ptr<TABSAO> op = Table("hraci");
    if (!c.where.empty()) Where(*op, c.where);
    if (c.max_rows >= 0) op = std::make_unique<TABSAOSQLTopRowCount>(std::move(op), c.max_rows, c.first_row);
    auto items = List({});
    items.push_back(Column("", "Body"));
    op->SetProjection(items, c.distinct);
    if (c.ordered) op->SetSortOrder({"Body"}, {}, {});
    EXPECT_EQ(Run(*op), c.expected);
  }
}

// A sort beyond its budget keeps to it: the memory kept for the next run
// is counted, and what the last rows do not use goes back before the
// result table takes its share.
TEST_F(TableOperatorTest, ASpillingSortKeepsItsMemoryWithinTheBudget) {
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) texts.push_back("row-" + std::to_string(i * 7919 % 20011) + std::string(50, 'x'));
  Rows rows;
  for (const std::string& text : texts) rows.push_back({text.c_str()});
  MakeTable("big", {Field("s", C::String, 60)}, rows);
  const auto sorted = [&](const std::function<void(std::string_view)>& on_step) {
    std::unique_ptr<TABSAO> op = Table("big");
    op->Env()->on_step = on_step;
    auto items = List({});
    items.push_back(Column("", "s"));
    op->SetProjection(items, false);
    op->SetSortOrder({"s"}, {}, {});
    return Run(*op);
  };
  const std::vector<std::string> expected = sorted(nullptr);
  ASSERT_EQ(expected.size(), texts.size());
  constexpr int64_t kBudget = 1024 * 1024;
  const int64_t old_limit = TemporaryBudget().Limit();
  TemporaryBudget().SetLimit(TemporaryBudget().Used() + kBudget);
  const int64_t before = MemoryManager().AllocatedBytes();
  int64_t peak = before;
  const std::vector<std::string> spilled =
      sorted([&](std::string_view) { peak = std::max(peak, MemoryManager().AllocatedBytes()); });
  TemporaryBudget().SetLimit(old_limit);
  EXPECT_EQ(spilled, expected);
  // Beyond the budget only the read buffers of the few run tables.
  EXPECT_LE(peak - before, kBudget + kBudget / 4);
}

TEST_F(TableOperatorTest, ReferenceErrors) {
  struct Case {
    TABSSelectListItem item;
    int32_t code;
  };
  std::vector<Case> cases;
  cases.push_back({Column("", "nic"), 10305});
  cases.push_back({Column("x", "id"), 30327});
  for (Case& c : cases) {
    auto op = Table("hraci", "h");
    std::vector<TABSSelectListItem> items;
    items.push_back(std::move(c.item));
    EXPECT_EQ(ErrorCode([&] { op->SetProjection(items, false); }), c.code);
  }
}

}  // namespace
}  // namespace kelvorin::testing
