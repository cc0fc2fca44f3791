// Failures injected into running operator trees: an error at every row and
// step, a cast error at every row, spilling under a small temporary budget
// into a directory where no file can be made. Afterwards no temporary
// table or descriptor is left, the base tables and the file are as they
// were, and the same tree runs right again.
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "db/query/operators/ao_group_by.h"
#include "db/query/operators/ao_join.h"
#include "db/query/operators/ao_pass_through.h"
#include "db/query/operators/ao_union.h"
#include "db/storage/temporary/temporary_budget.h"
#include "tests/db/query/operators/operator_test_support.h"

namespace kelvorin::testing {
namespace {

namespace fs = std::filesystem;
using C = TABSColumnType;

std::set<std::string> OpenFiles() {
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (!error && !target.string().starts_with("/proc/")) files.insert(target.string());
  }
  return files;
}

struct InjectedFault {};

class OperatorFailureTest : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    Rows a;
    Rows b;
    for (int i = 0; i < 24; ++i) {
      const std::string id = std::to_string(i % 7);
      const std::string n = i == 17 ? "x" + std::to_string(i) : std::to_string(i * 3);
      texts_.push_back(id);
      texts_.push_back(n);
      texts_.push_back(std::string(1, static_cast<char>('a' + i % 4)));
      a.push_back({texts_[texts_.size() - 3].c_str(), texts_[texts_.size() - 2].c_str(),
                   texts_[texts_.size() - 1].c_str()});
    }
    for (int i = 0; i < 15; ++i) {
      texts_.push_back(std::to_string(i % 5));
      texts_.push_back(std::string(1, static_cast<char>('A' + i % 3)));
      b.push_back({texts_[texts_.size() - 2].c_str(), i % 4 == 0 ? nullptr : texts_[texts_.size() - 1].c_str()});
    }
    MakeTable("a", {Field("id", C::Integer), Field("n", C::String, 8), Field("s", C::String, 4)}, a);
    MakeTable("b", {Field("id", C::Integer), Field("t", C::String, 4)}, b);
    before_ = Snapshot();
  }

  // Every row of both base tables, to see them unchanged.
  std::vector<std::string> Snapshot() {
    std::vector<std::string> rows;
    for (const char* table : {"a", "b"}) {
      auto op = Table(table);
      auto items = List({});
      op->SetProjection(items, false);
      for (const std::string& row : Run(*op)) rows.push_back(std::string(table) + ":" + row);
    }
    return rows;
  }

  using Plan = std::function<std::unique_ptr<TABSAO>()>;

  // Runs the plan once to count its steps, then fails it at each step in
  // turn (or the failure the plan brings itself), checking what is left.
  void FailEverywhere(const std::string& name, const Plan& plan, bool cast_fails = false) {
    SCOPED_TRACE(name);
    const std::set<std::string> files = OpenFiles();
    int64_t steps = 0;
    std::vector<std::string> expected;
    {
      auto op = plan();
      env_->on_step = [&](std::string_view) { ++steps; };
      if (cast_fails) {
        EXPECT_NE(ErrorCode([&] { Run(*op); }), 0);
      } else {
        expected = Run(*op);
      }
    }
    ASSERT_GT(steps, 0);
    for (int64_t k = 1; k <= steps; ++k) {
      {
        int64_t step = 0;
        env_->on_step = [&](std::string_view) {
          if (++step == k) throw InjectedFault{};
        };
        auto op = plan();
        bool raised = false;
        try {
          Run(*op);
        } catch (const InjectedFault&) {
          raised = true;
        } catch (const EABSException&) {
          raised = cast_fails;
        }
        EXPECT_TRUE(raised) << "step " << k;
      }
      env_->on_step = nullptr;
      ASSERT_TRUE(TemporaryDatabase().GetTableNames().empty()) << "step " << k;
    }
    EXPECT_EQ(OpenFiles(), files);
    EXPECT_EQ(Snapshot(), before_);
    session_->Disconnect();
    ExpectCatalogueClean(Path());
    session_->Connect();
    if (!cast_fails) {
      auto op = plan();
      EXPECT_EQ(Run(*op), expected);
    }
  }

  // SELECT t, COUNT(*) FROM a LEFT JOIN b ON a.id = b.id GROUP BY t ORDER BY t DESC
  std::unique_ptr<TABSAO> GroupedJoin() {
    auto join = std::make_unique<TABSAOJoin>(Table("a"), Table("b"), TABSFields{{"a", "id"}},
                                             TABSFields{{"b", "id"}}, false, TABSJoinType::kLeft);
    auto items = List({});
    items.push_back(Column("", "t"));
    items.push_back(Expr("COUNT(*)"));
    auto group = std::make_unique<TABSAOGroupBy>(std::move(join), items, TABSFields{{"", "t"}});
    group->SetProjection(items, false);
    group->SetSortOrder({"t"}, {"t"}, {});
    return group;
  }

  std::deque<std::string> texts_;  // stable addresses for the rows' texts
  std::vector<std::string> before_;
};

TEST_F(OperatorFailureTest, EveryStepOfEveryOperator) {
  FailEverywhere("grouped left join", [&] { return GroupedJoin(); });
  FailEverywhere("distinct union", [&] {
    auto left = Table("a");
    auto items = List({});
    items.push_back(Column("", "s"));
    left->SetProjection(items, true);
    auto right = Table("b");
    auto more = List({});
    more.push_back(Column("", "t"));
    right->SetProjection(more, false);
    auto set = std::make_unique<TABSAOUnion>(std::move(left), std::move(right), std::vector<std::string>{}, true,
                                             false, TABSSetKind::kUnion);
    auto all = List({});
    set->SetProjection(all, false);
    return set;
  });
  FailEverywhere("except all", [&] {
    auto left = Table("a");
    auto items = List({});
    items.push_back(Column("", "id"));
    left->SetProjection(items, false);
    auto right = Table("b");
    auto more = List({});
    more.push_back(Column("", "id"));
    right->SetProjection(more, false);
    auto set = std::make_unique<TABSAOUnion>(std::move(left), std::move(right), std::vector<std::string>{}, false,
                                             false, TABSSetKind::kExcept);
    auto all = List({});
    set->SetProjection(all, false);
    return set;
  });
  FailEverywhere("top after condition", [&] {
    auto op = std::make_unique<TABSAOSQLTopRowCount>(Table("a"), 3, 2);
    Where(*op, "s <> 'b'");
    auto items = List({});
    items.push_back(Column("", "n"));
    op->SetProjection(items, true);
    op->SetSortOrder({"n"}, {"n"}, {});
    return op;
  });
}

TEST_F(OperatorFailureTest, CastErrorAtARow) {
  // Row 17 of a holds "x17" in n: casting it fails half way through.
  FailEverywhere("cast in a projection", [&] {
    auto op = Table("a");
    auto items = List({});
    items.push_back(Expr("CAST(n AS INTEGER)"));
    op->SetProjection(items, false);
    op->SetSortOrder({"Expr"}, {}, {});
    return op;
  }, true);
}

TEST_F(OperatorFailureTest, SpillingIntoADirectoryWithoutRoom) {
  const std::optional<std::string> old_tmpdir =
      std::getenv("TMPDIR") ? std::optional<std::string>(std::getenv("TMPDIR")) : std::nullopt;
  const int64_t old_limit = TemporaryBudget().Limit();
  // Enough rows that a small budget makes every result spill.
  Rows many;
  std::vector<std::string> values;
  for (int i = 0; i < 3000; ++i) values.push_back(std::to_string(i * 7919 % 3001));
  for (const std::string& v : values) many.push_back({v.c_str(), "padding-padding-padding"});
  MakeTable("big", {Field("x", C::Integer), Field("p", C::String, 40)}, many);
  const auto plan = [&] {
    auto op = Table("big");
    auto items = List({});
    items.push_back(Column("", "x"));
    items.push_back(Column("", "p"));
    op->SetProjection(items, true);
    op->SetSortOrder({"x"}, {"x"}, {});
    return op;
  };
  std::vector<std::string> expected;
  {
    auto op = plan();
    expected = Run(*op);
  }
  ASSERT_EQ(expected.size(), 3000u);
  const std::set<std::string> files = OpenFiles();
  TemporaryBudget().SetLimit(TemporaryBudget().Used() + 16 * 1024);
  ::setenv("TMPDIR", (fs::path(Path()).parent_path() / "missing").c_str(), 1);
  {
    auto op = plan();
    EXPECT_NE(ErrorCode([&] { Run(*op); }), 0);
  }
  EXPECT_TRUE(TemporaryDatabase().GetTableNames().empty());
  EXPECT_EQ(OpenFiles(), files);
  // With room for the files the same small budget spills and succeeds.
  if (old_tmpdir) {
    ::setenv("TMPDIR", old_tmpdir->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  {
    auto op = plan();
    EXPECT_EQ(Run(*op), expected);
  }
  TemporaryBudget().SetLimit(old_limit);
  EXPECT_EQ(Snapshot(), before_);
  EXPECT_TRUE(TemporaryDatabase().GetTableNames().empty());
}

}  // namespace
}  // namespace kelvorin::testing
