// Joins of every kind over seeded tables against a model that joins the
// same rows by nested loops: NULL keys never match, string keys ignore
// case, a string key meets an integer key in their common type, and the
// rest of an outer join's ON condition is part of the match.
#include <functional>
#include <optional>
#include <random>

#include "db/query/operators/ao_join.h"
#include "tests/db/query/operators/operator_test_support.h"

namespace kelvorin::testing {
namespace {

using C = TABSColumnType;
using Cell = std::optional<std::string>;
using ModelRow = std::vector<Cell>;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class JoinOperatorTest : public OperatorTest {
 protected:
  // a(id, k, v) and b(id, s, w): small keys with NULLs and repeats, strings
  // in both cases; a.k holds digits, so that it meets b.id as a number.
  void Seed(uint32_t seed, int a_rows, int b_rows) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    const char* words[] = {"ab", "AB", "cd", "Cd", "ef"};
    const auto make = [&](int rows, bool digits) {
      std::vector<ModelRow> model;
      for (int i = 0; i < rows; ++i) {
        ModelRow row;
        row.push_back(pick(5) == 0 ? Cell{} : Cell{std::to_string(pick(6))});
        if (digits) {
          row.push_back(pick(5) == 0 ? Cell{} : Cell{std::to_string(pick(6))});
        } else {
          row.push_back(pick(5) == 0 ? Cell{} : Cell{words[pick(5)]});
        }
        row.push_back(pick(4) == 0 ? Cell{} : Cell{std::to_string(pick(3))});
        model.push_back(row);
      }
      return model;
    };
    a_ = make(a_rows, true);
    b_ = make(b_rows, false);
    // b.s draws from the words; a.k from digits, but give some a word too.
    for (size_t i = 0; i < a_.size(); i += 3) {
      if (a_[i][1]) a_[i][1] = words[i % 5];
    }
    Store("a", {Field("id", C::Integer), Field("k", C::String, 10), Field("v", C::Integer)}, a_);
    Store("b", {Field("id", C::Integer), Field("s", C::String, 10), Field("w", C::Integer)}, b_);
  }
  void Store(const std::string& name, const std::vector<TABSDatasetFieldDef>& fields, const std::vector<ModelRow>& rows) {
    Rows cells;
    for (const ModelRow& row : rows) {
      cells.emplace_back();
      for (const Cell& cell : row) cells.back().push_back(cell ? cell->c_str() : nullptr);
    }
    MakeTable(name, fields, cells);
  }

  static std::string Text(const ModelRow& a, const ModelRow& b) {
    std::string text;
    for (const ModelRow* row : {&a, &b}) {
      for (const Cell& cell : *row) text += (text.empty() ? "" : "|") + (cell ? *cell : "NULL");
    }
    return text;
  }
  // The model join: `match` on two rows, NULL rows for unmatched sides.
  std::vector<std::string> Model(TABSJoinType type, const std::function<bool(const ModelRow&, const ModelRow&)>& match) {
    const ModelRow none(3);
    std::vector<std::string> rows;
    std::vector<bool> b_matched(b_.size(), false);
    for (const ModelRow& a : a_) {
      bool matched = false;
      for (size_t j = 0; j < b_.size(); ++j) {
        if (!match(a, b_[j])) continue;
        matched = true;
        b_matched[j] = true;
        rows.push_back(Text(a, b_[j]));
      }
      if (!matched && (type == TABSJoinType::kLeft || type == TABSJoinType::kFull)) rows.push_back(Text(a, none));
    }
    for (size_t j = 0; j < b_.size(); ++j) {
      if (!b_matched[j] && (type == TABSJoinType::kRight || type == TABSJoinType::kFull)) rows.push_back(Text(none, b_[j]));
    }
    return Sorted(rows);
  }

  std::vector<std::string> Join(TABSJoinType type, const TABSFields& left_keys, const TABSFields& right_keys,
                                const std::string& on_rest, bool* merged = nullptr) {
    auto join = std::make_unique<TABSAOJoin>(Table("a"), Table("b"), left_keys, right_keys, false, type);
    if (!on_rest.empty()) join->AddOnCondition(Parse(on_rest)->RootNode()->Clone());
    if (merged != nullptr) *merged = join->Merges();
    auto items = List({});
    join->SetProjection(items, false);
    return Sorted(Run(*join));
  }

  // Seeds both tables anew (sized by the seed; some runs give an empty side).
  void SetUp2(uint32_t seed, bool digits_only = false) {
    for (const char* name : {"a", "b"}) {
      if (session_->TableExists(name)) TABSLocalCursor(*session_, name).DeleteTable();
    }
    Seed(seed, seed == 3 ? 0 : static_cast<int>(10 + seed * 4), seed == 5 ? 0 : static_cast<int>(12 + seed * 3));
    if (digits_only) {
      // a.k only digits: rewrite the table with the words taken out.
      for (ModelRow& row : a_) {
        if (row[1] && !std::isdigit(static_cast<unsigned char>((*row[1])[0]))) row[1] = "4";
      }
      TABSLocalCursor(*session_, "a").DeleteTable();
      Store("a", {Field("id", C::Integer), Field("k", C::String, 10), Field("v", C::Integer)}, a_);
    }
  }

  std::vector<ModelRow> a_;
  std::vector<ModelRow> b_;
};

const std::vector<TABSJoinType> kTypes = {TABSJoinType::kInner, TABSJoinType::kLeft, TABSJoinType::kRight,
                                          TABSJoinType::kFull};

bool Same(const Cell& x, const Cell& y) { return x && y && *x == *y; }
bool SameText(const Cell& x, const Cell& y) { return x && y && Upper(*x) == Upper(*y); }

TEST_F(JoinOperatorTest, KeyedJoinsAgreeWithTheModel) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SetUp2(seed);
    for (const TABSJoinType type : kTypes) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << " type " << static_cast<int>(type));
      bool merged = false;
      // Integer keys.
      EXPECT_EQ(Join(type, {{"a", "id"}}, {{"b", "id"}}, "", &merged),
                Model(type, [](const ModelRow& a, const ModelRow& b) { return Same(a[0], b[0]); }));
      EXPECT_TRUE(merged);
      // String keys ignore case; a pair given the other way round.
      EXPECT_EQ(Join(type, {{"b", "s"}}, {{"a", "k"}}, ""),
                Model(type, [](const ModelRow& a, const ModelRow& b) { return SameText(a[1], b[1]); }));
      // Two keys, and the rest of ON part of the match.
      EXPECT_EQ(Join(type, {{"", "v"}, {"a", "id"}}, {{"", "w"}, {"b", "id"}}, "b.w = 1 AND a.v + b.w >= 1"),
                Model(type, [](const ModelRow& a, const ModelRow& b) {
                  return Same(a[0], b[0]) && Same(a[2], b[2]) && b[2] == Cell{"1"};
                }));
    }
  }
}

TEST_F(JoinOperatorTest, StringKeyMeetsIntegerKeyInTheirCommonType) {
  SetUp2(7, true);
  for (const TABSJoinType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    bool merged = true;
    EXPECT_EQ(Join(type, {{"a", "k"}}, {{"b", "id"}}, "", &merged),
              Model(type, [](const ModelRow& a, const ModelRow& b) { return Same(a[1], b[0]); }));
    EXPECT_FALSE(merged);
  }
}

TEST_F(JoinOperatorTest, JoinsWithoutKeys) {
  SetUp2(8);
  EXPECT_EQ(Join(TABSJoinType::kCross, {}, {}, ""), Model(TABSJoinType::kInner, [](auto&, auto&) { return true; }));
  for (const TABSJoinType type : kTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    EXPECT_EQ(Join(type, {}, {}, "a.v < b.w"), Model(type, [](const ModelRow& a, const ModelRow& b) {
                return a[2] && b[2] && std::stoi(*a[2]) < std::stoi(*b[2]);
              }));
  }
}

TEST_F(JoinOperatorTest, KeyErrors) {
  SetUp2(9);
  struct Case {
    TABSFields left;
    TABSFields right;
    int32_t code;
  };
  const std::vector<Case> cases = {
      {{{"a", "id"}}, {}, 10330},
      {{{"", "nic"}}, {{"b", "id"}}, 10331},
      {{{"", "id"}}, {{"b", "id"}}, 10331},  // in both children
      {{{"a", "id"}}, {{"b", "nic"}}, 10332},
      {{{"a", "id"}}, {{"a", "v"}}, 10334},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorCode([&] { TABSAOJoin(Table("a"), Table("b"), c.left, c.right, false, TABSJoinType::kInner); }),
              c.code);
  }
}

TEST_F(JoinOperatorTest, NaturalJoinAndUniqueNames) {
  SetUp2(10);
  auto join = std::make_unique<TABSAOJoin>(Table("a"), Table("b"), TABSFields{}, TABSFields{}, true,
                                           TABSJoinType::kInner);
  EXPECT_EQ(join->KeyCount(), 1);
  auto items = List({});
  join->SetProjection(items, false);
  EXPECT_EQ(join->OutputNames(), (std::vector<std::string>{"id", "k", "v", "id_1", "s", "w"}));
  EXPECT_EQ(Sorted(Run(*join)), Model(TABSJoinType::kInner, [](const ModelRow& a, const ModelRow& b) {
              return Same(a[0], b[0]);
            }));
}

}  // namespace
}  // namespace kelvorin::testing
