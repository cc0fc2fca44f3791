// Filters and Locate over a cursor's records, aggregates over an operator's
// rows, and the binding rules around them.
#include <string>
#include <vector>

#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/value_nodes.h"
#include "db/storage/memory/memory_manager.h"
#include "tests/db/query/expression_test_support.h"

namespace kelvorin::testing {
namespace {

class ExpressionFilter : public ExpressionTest {
 protected:
  std::unique_ptr<FakeTable> table_ = FakeTable::Seating();
};

TEST_F(ExpressionFilter, KeepsTheRecordsItNames) {
  table_->Set("Kolo", Int(3));
  EXPECT_TRUE(Passes(*table_, "Kolo = 3"));
  EXPECT_FALSE(Passes(*table_, "Kolo <> 3"));
  EXPECT_TRUE(Passes(*table_, "3 >= Kolo AND Kolo < 3000000000"));
  table_->SetNull("Kolo");
  EXPECT_FALSE(Passes(*table_, "Kolo = 3"));
  EXPECT_TRUE(Passes(*table_, "Kolo <> 3"));
  EXPECT_TRUE(Passes(*table_, "Kolo IS NULL"));
}

TEST_F(ExpressionFilter, OneExpressionFollowsTheRecordItIsBoundTo) {
  TABSExpression expression;
  expression.ParseForFilter(table_.get(), "Kolo = 3 AND Jmeno LIKE 'nov%'", false, true);
  std::vector<uint8_t> other(static_cast<size_t>(table_->RecordSize()));
  table_->Set("Kolo", Int(3));
  table_->Set("Jmeno", Str("Nov\xE1k"));
  std::copy(table_->Record(), table_->Record() + other.size(), other.begin());
  table_->Set("Kolo", Int(4));
  expression.BindToRecord(table_->Record());
  EXPECT_FALSE(expression.GetBooleanValue());
  expression.BindToRecord(other.data());
  EXPECT_TRUE(expression.GetBooleanValue());
}

TEST_F(ExpressionFilter, IntegerPredicatesTakeNoMemoryPerRow) {
  TABSExpression expression;
  expression.ParseForFilter(table_.get(), "Kolo = 3 AND Body <> Kolo", false, true);
  // Records with Kolo 0 to 4 (and Body 4), written beforehand.
  std::vector<std::vector<uint8_t>> records;
  table_->Set("Body", Int(4));
  for (int kolo = 0; kolo < 5; ++kolo) {
    table_->Set("Kolo", Int(kolo));
    records.emplace_back(table_->Record(), table_->Record() + table_->RecordSize());
  }
  expression.BindToRecord(records[3].data());
  ASSERT_TRUE(expression.GetBooleanValue());
  // Not a byte more from here on: a block taken and given back per row
  // would fail too.
  const int64_t before = MemoryManager().AllocatedBytes();
  ASSERT_GT(before, 0);
  MemoryManager().SetMemoryLimit(before);
  int kept = 0;
  const int32_t code = ErrorCode([&] {
    for (int i = 0; i < 1000; ++i) {
      expression.BindToRecord(records[static_cast<size_t>(i % 5)].data());
      kept += expression.GetBooleanValue() ? 1 : 0;
    }
  });
  MemoryManager().SetMemoryLimit(0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(kept, 200);
  EXPECT_EQ(MemoryManager().AllocatedBytes(), before);
}

TEST_F(ExpressionFilter, PartialKeysCompareThePrefixOfTheConstant) {
  struct Case {
    const char* name;  // nullptr: NULL
    bool kept;
  };
  const std::vector<Case> cases = {
      {"Abc", true}, {"ab", true}, {"Ab", true}, {"A", false}, {"B", false}, {nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name == nullptr ? "NULL" : c.name);
    table_->Set("Jmeno", c.name == nullptr ? TABSVariant() : Str(c.name));
    EXPECT_EQ(Passes(*table_, "Jmeno = 'Ab*'", true), c.kept);
  }
  // A star alone is the empty prefix, which every name starts with.
  for (const Case& c : std::vector<Case>{{"Abc", true}, {"A", true}, {nullptr, false}}) {
    SCOPED_TRACE(c.name == nullptr ? "NULL" : c.name);
    table_->Set("Jmeno", c.name == nullptr ? TABSVariant() : Str(c.name));
    EXPECT_EQ(Passes(*table_, "Jmeno = '*'", true), c.kept);
    EXPECT_EQ(Passes(*table_, "'*' <= Jmeno", true), c.kept);
    EXPECT_EQ(Passes(*table_, "Jmeno <> '*'", true), !c.kept);
  }
  // Without the option the star is a character like any other.
  table_->Set("Jmeno", Str("Abc"));
  EXPECT_FALSE(Passes(*table_, "Jmeno = 'Ab*'", false));
  table_->Set("Jmeno", Str("Ab*"));
  EXPECT_TRUE(Passes(*table_, "Jmeno = 'Ab*'", false));
}

TEST_F(ExpressionFilter, OnlyComparisonsThatLostAStarArePartial) {
  TABSExpression expression;
  expression.ParseForFilter(table_.get(), "Jmeno = 'Ab*' AND Jmeno <> 'x'", true, true);
  const TABSExprNode* root = expression.RootNode();
  ASSERT_EQ(root->ChildCount(), 2u);
  EXPECT_TRUE(root->Child(0)->PartialKey());
  EXPECT_FALSE(root->Child(1)->PartialKey());
}

TEST_F(ExpressionFilter, MixedSignIntegersCompareExactly) {
  table_->Set("Malo", Int(-1));
  table_->Set("Slovo", Int(65535));
  EXPECT_TRUE(Passes(*table_, "Malo < Slovo"));
  EXPECT_TRUE(Passes(*table_, "Slovo > Malo"));
  EXPECT_TRUE(Passes(*table_, "Malo IN (Slovo, -1)"));
  EXPECT_FALSE(Passes(*table_, "Malo BETWEEN Slovo AND 70000"));
}

TEST_F(ExpressionFilter, WideFieldsCompareWithPlainConstants) {
  table_->Set("Siroky", Str("\xC8" "ech"));
  EXPECT_TRUE(Passes(*table_, "Siroky = '\xE8" "ECH'"));
  EXPECT_TRUE(Passes(*table_, "Siroky LIKE '%ch'"));
  EXPECT_TRUE(Passes(*table_, "UPPER(Siroky) || 'x' = '\xC8" "ECHX'"));
}

struct FilterError {
  const char* text;
  int32_t code;
};

TEST_F(ExpressionFilter, MalformedFiltersAreRefusedWhenSet) {
  const std::vector<FilterError> cases = {
      {"Kolo = 3 ANDD Body > 1", 30494},
      {"Kolo = 3 xyz", 30494},
      {"Kolo = 3)", 30060},
      {"", 30119},
      {"  -- nothing\n", 30119},
      {"Cas = 12:30", 30702},
      {"Nic = 1", 30115},
      {"SUM(Kolo) > 1", native::kAggregateNotAllowed.code},
      {"Kolo = (1", 30059},
      {"Jmeno LIKE", 30495},
  };
  for (const FilterError& c : cases) {
    SCOPED_TRACE(c.text);
    TABSExpression expression;
    EXPECT_EQ(ErrorCode([&] { expression.ParseForFilter(table_.get(), c.text, false, true); }),
              c.code);
    EXPECT_TRUE(expression.IsEmpty());
  }
}

TEST_F(ExpressionFilter, LocateMatchesNullsAndHonoursItsOptions) {
  TABSExpression expression;
  std::vector<TABSVariant> keys = {Int(3), Str("nov")};
  expression.BuildLocate(table_.get(), " Kolo ; jmeno", keys, true, true);
  table_->Set("Kolo", Int(3));
  table_->Set("Jmeno", Str("Nov\xE1k"));
  expression.BindToRecord(table_->Record());
  EXPECT_TRUE(expression.GetBooleanValue());
  table_->Set("Jmeno", Str("No"));
  EXPECT_FALSE(expression.GetBooleanValue());

  TABSExpression nulls;
  std::vector<TABSVariant> null_key = {TABSVariant(TABSStorageType::Integer)};
  nulls.BuildLocate(table_.get(), "Kolo", null_key, true, false);
  table_->SetNull("Kolo");
  nulls.BindToRecord(table_->Record());
  EXPECT_TRUE(nulls.GetBooleanValue());
  table_->Set("Kolo", Int(1));
  EXPECT_FALSE(nulls.GetBooleanValue());

  EXPECT_EQ(ErrorCode([&] { nulls.BuildLocate(table_.get(), "Kolo;Body", null_key, true, false); }),
            30112);
  EXPECT_EQ(ErrorCode([&] { nulls.BuildLocate(table_.get(), "Nic", null_key, true, false); }),
            30115);
}

TEST_F(ExpressionFilter, TheRootFieldIsNamed) {
  TABSLexer lexer("t.Kolo");
  lexer.NextCommand();
  TABSExpression expression;
  expression.ParseValue("", lexer);
  ASSERT_TRUE(expression.IsField());
  std::string table;
  std::string field;
  expression.GetFieldName(&table, &field);
  EXPECT_EQ(table, "t");
  EXPECT_EQ(field, "Kolo");
  TABSLexer sum("Kolo + 1");
  sum.NextCommand();
  expression.ParseValue("", sum);
  EXPECT_EQ(ErrorCode([&] { expression.GetFieldName(&table, &field); }), 30198);
}

// An operator over the fake table's fields: one row at a time.
class FakeOperator : public TABSExprOperator {
 public:
  FakeOperator(FakeTable& table, bool grouping) : table_(table), grouping_(grouping) {}
  int32_t MatchColumns(std::string_view, std::string_view name, int32_t* first) const override {
    *first = table_.FieldDefs().IndexOfName(name);
    return *first >= 0 ? 1 : 0;
  }
  TABSColumnType ColumnType(int32_t column) const override {
    return table_.FieldDefs().Items(column)->ColumnType();
  }
  int32_t ColumnSize(int32_t column) const override {
    return table_.FieldDefs().Items(column)->DeclaredSize();
  }
  void GetColumnValue(int32_t column, TABSVariant* value) override {
    const TABSFieldDef* def = table_.FieldDefs().Items(column);
    if ((table_.Record()[column / 8] >> (column % 8)) & 1) {
      value->Clear(def->StorageType());
      return;
    }
    const uint8_t* data = table_.Record() + def->MemoryOffset();
    const int32_t size = IsStringStorage(def->StorageType())
                             ? static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(data)) + 1)
                             : def->MemorySize();
    value->SetRaw(data, size, def->StorageType(), true);
  }
  bool IsGrouping() const override { return grouping_; }

 private:
  FakeTable& table_;
  bool grouping_;
};

class ExpressionAggregates : public ExpressionFilter {
 protected:
  // The aggregate's value over rows of one field ("" for NULL).
  TABSVariant Aggregate(const char* text, const char* field, const std::vector<TABSVariant>& rows) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseValue("", lexer);
    FakeOperator op(*table_, true);
    expression.BindToAO(&op);
    expression.ResetAggregate();
    for (const TABSVariant& row : rows) {
      table_->Set(field, row);
      expression.Accumulate();
    }
    return *expression.GetValue(true);
  }
};

TEST_F(ExpressionAggregates, SumAndAverageAreExact) {
  const TABSVariant big = Int(2147483647);
  EXPECT_EQ(Aggregate("SUM(Kolo)", "Kolo", {big, big}).AsLargeInt(), 4294967294);
  EXPECT_EQ(Aggregate("SUM(Kolo)", "Kolo", {big, big}).Type(), TABSStorageType::LargeInt);
  EXPECT_EQ(Aggregate("SUM(Body)", "Body", {Int(30000), Int(30000), Int(30000)}).AsLargeInt(),
            90000);
  EXPECT_DOUBLE_EQ(Aggregate("AVG(Kolo)", "Kolo", {big, big}).AsFloat(), 2147483647.0);
  EXPECT_DOUBLE_EQ(Aggregate("AVG(Kolo)", "Kolo", {Int(1), Int(2), TABSVariant()}).AsFloat(), 1.5);
  EXPECT_DOUBLE_EQ(Aggregate("SUM(Hodnota)", "Hodnota", {Flt(0.5), Flt(0.25)}).AsFloat(), 0.75);
  EXPECT_EQ(ErrorCode([&] {
              Aggregate("SUM(Kolo * 4611686018427387904)", "Kolo", {Int(1), Int(1)});
            }),
            native::kAggregateOverflow.code);
  EXPECT_EQ(ErrorCode([&] { Aggregate("SUM(Jmeno)", "Jmeno", {Str("a")}); }), 30132);
  EXPECT_EQ(ErrorCode([&] { Aggregate("AVG(Jmeno)", "Jmeno", {Str("a")}); }), 30133);
}

TEST_F(ExpressionAggregates, DistinctCountsEachValueOnce) {
  const std::vector<TABSVariant> rows = {Int(1), Int(1), Int(2), TABSVariant(), Int(2)};
  EXPECT_EQ(Aggregate("COUNT DISTINCT (Kolo)", "Kolo", rows).AsInteger(), 2);
  EXPECT_EQ(Aggregate("COUNT(Kolo)", "Kolo", rows).AsInteger(), 4);
  EXPECT_EQ(Aggregate("COUNT(*)", "Kolo", rows).AsInteger(), 5);
  EXPECT_EQ(Aggregate("SUM DISTINCT (Kolo)", "Kolo", rows).AsLargeInt(), 3);
  EXPECT_DOUBLE_EQ(Aggregate("AVG DISTINCT (Kolo)", "Kolo", rows).AsFloat(), 1.5);
  EXPECT_EQ(Aggregate("COUNT DISTINCT (Jmeno)", "Jmeno", {Str("ab"), Str("AB"), Str("b")}).AsInteger(),
            2);
}

TEST_F(ExpressionAggregates, EmptyGroupsAndExtremes) {
  EXPECT_TRUE(Aggregate("SUM(Kolo)", "Kolo", {}).IsNull());
  EXPECT_TRUE(Aggregate("AVG(Kolo)", "Kolo", {}).IsNull());
  EXPECT_TRUE(Aggregate("MIN(Kolo)", "Kolo", {}).IsNull());
  EXPECT_TRUE(Aggregate("MAX(Kolo)", "Kolo", {}).IsNull());
  EXPECT_EQ(Aggregate("COUNT(Kolo)", "Kolo", {}).AsInteger(), 0);
  EXPECT_EQ(Aggregate("COUNT(*)", "Kolo", {}).AsInteger(), 0);
  EXPECT_EQ(Aggregate("MIN(Kolo)", "Kolo", {Int(5), TABSVariant(), Int(-2), Int(7)}).AsInteger(), -2);
  EXPECT_EQ(Aggregate("MAX(Kolo)", "Kolo", {Int(5), TABSVariant(), Int(-2), Int(7)}).AsInteger(), 7);
  EXPECT_EQ(Aggregate("MAX(Jmeno)", "Jmeno", {Str("b"), Str("C"), Str("a")}).AsString(), "C");
  EXPECT_EQ(Aggregate("MAX(Kolo) + 1", "Kolo", {Int(5), Int(7)}).AsInteger(), 8);
}

TEST_F(ExpressionAggregates, AreRefusedWhereTheyCannotBeComputed) {
  auto bind = [&](const char* text, bool allowed) {
    return ErrorCode([&] {
      TABSLexer lexer(text);
      lexer.NextCommand();
      TABSExpression expression;
      expression.ParseValue("", lexer);
      FakeOperator op(*table_, true);
      expression.BindToAO(&op, allowed);
    });
  };
  EXPECT_EQ(bind("SUM(Kolo)", true), 0);
  EXPECT_EQ(bind("SUM(Kolo)", false), native::kAggregateNotAllowed.code);
  EXPECT_EQ(bind("SUM(MAX(Kolo))", true), native::kAggregateNotAllowed.code);
  EXPECT_EQ(bind("Nic + 1", true), 30197);
}

TEST_F(ExpressionAggregates, EvaluateOnlyInsideGroupingOperators) {
  TABSLexer lexer("SUM(Kolo) + Body");
  lexer.NextCommand();
  TABSExpression expression;
  expression.ParseValue("", lexer);
  FakeOperator grouping(*table_, true);
  FakeOperator plain(*table_, false);
  EXPECT_TRUE(expression.RootNode()->CanEvaluateIn(grouping));
  EXPECT_FALSE(expression.RootNode()->CanEvaluateIn(plain));
}

TEST_F(ExpressionAggregates, JoinConditionsAreEqualitiesAcrossOperators) {
  FakeTable other({{"Hrac", TABSColumnType::Integer}, {"Kolo", TABSColumnType::Integer}});
  FakeOperator left(*table_, false);
  FakeOperator right(other, false);
  auto join = [&](const char* text) {
    TABSLexer lexer(text);
    lexer.NextCommand();
    TABSExpression expression;
    expression.ParseCondition(lexer);
    return expression.RootNode()->IsJoinCondition(left, right);
  };
  EXPECT_TRUE(join("Body = Hrac"));
  EXPECT_FALSE(join("Body = Jmeno"));
  EXPECT_FALSE(join("Body < Hrac"));
  EXPECT_EQ(ErrorCode([&] { join("Kolo = Hrac"); }), 10404);
  EXPECT_EQ(ErrorCode([&] { join("Hrac = Kolo"); }), 10405);
}

TEST_F(ExpressionAggregates, AliasesOfColumnsAreResolved) {
  TABSLexer lexer("Body > Vysledek");
  lexer.NextCommand();
  TABSExpression expression;
  expression.ParseCondition(lexer);
  const std::vector<TABSSelectAlias> list = {{"vysledek", true, "s", "Kolo"},
                                             {"body", false, "", ""}};
  expression.ResolveAliases(list);
  const auto& right = static_cast<const TABSExprNodeField&>(*expression.RootNode()->Child(1));
  EXPECT_EQ(right.TableName(), "s");
  EXPECT_EQ(right.FieldName(), "Kolo");
  const auto& left = static_cast<const TABSExprNodeField&>(*expression.RootNode()->Child(0));
  EXPECT_EQ(left.FieldName(), "Body");
}

// Tables for LASTAUTOINC: each open is recorded, the last value is fixed.
class FakeAutoIncProvider : public TABSAutoIncProvider {
 public:
  class Table : public TABSAutoIncTable {
   public:
    explicit Table(FakeAutoIncProvider& owner) : owner_(owner), table_(FakeTable::Seating()) {
      ++owner_.open_tables;
    }
    ~Table() override { --owner_.open_tables; }
    const TABSFieldDefs& FieldDefs() const override { return table_->FieldDefs(); }
    int64_t LastAutoIncValue(int32_t field_no) override { return 40 + field_no; }

   private:
    FakeAutoIncProvider& owner_;
    std::unique_ptr<FakeTable> table_;
  };
  std::unique_ptr<TABSAutoIncTable> OpenTable(std::string_view database, std::string_view table,
                                              bool in_memory) override {
    opened.push_back(std::string(database) + "/" + std::string(table) + (in_memory ? " memory" : ""));
    return std::make_unique<Table>(*this);
  }
  std::vector<std::string> opened;
  int open_tables = 0;
};

TEST_F(ExpressionFilter, LastAutoIncReadsTheTableItKeepsOpen) {
  FakeAutoIncProvider provider;
  {
    TABSLexer lexer("LASTAUTOINC(seskupeni, Body) + LASTAUTOINC(hraci MEMORY, Kolo)");
    lexer.NextCommand();
    TABSExpression expression;
    expression.SetAutoIncProvider(&provider);
    expression.ParseValue("turnaj", lexer);
    EXPECT_EQ(provider.open_tables, 2);
    const TABSVariant* value = expression.GetValue(true);
    EXPECT_EQ(value->AsInteger(), 42 + 40);
    EXPECT_EQ(value->Type(), TABSStorageType::Integer);
  }
  EXPECT_EQ(provider.open_tables, 0);
  EXPECT_EQ(provider.opened, (std::vector<std::string>{"turnaj/seskupeni", "turnaj/hraci memory"}));
  TABSLexer missing("LASTAUTOINC(hraci, nic)");
  missing.NextCommand();
  TABSExpression expression;
  expression.SetAutoIncProvider(&provider);
  EXPECT_EQ(ErrorCode([&] { expression.ParseValue("turnaj", missing); }), 30337);
  EXPECT_EQ(provider.open_tables, 0);
}

}  // namespace
}  // namespace kelvorin::testing
