// The combination table, checked against what its conditions mean: over
// every pair of condition kinds, values and column counts on a two-column
// key, a single result must admit exactly the keys both conditions admit,
// and "none" only when no key admits both. The filter bitmap's ranks and
// steps against a plain set of identifiers.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <set>
#include <vector>

#include "db/storage/errors/abs_exception.h"
#include "db/tables/scans/record_bitmap.h"
#include "db/tables/scans/scan_conditions.h"

namespace kelvorin {
namespace {

using Kind = TABSScanConditionKind;
using Key = std::array<int, 2>;

struct Condition {
  Kind kind;
  Key values;
  int columns;
};

int Order(const Key& a, const Key& b, int columns) {
  for (int i = 0; i < columns; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

bool Admits(const Condition& c, const Key& key) {
  const int order = Order(key, c.values, c.columns);
  switch (c.kind) {
    case Kind::kEqual: return order == 0;
    case Kind::kLess: return order < 0;
    case Kind::kGreater: return order > 0;
    case Kind::kLessOrEqual: return order <= 0;
    case Kind::kGreaterOrEqual: return order >= 0;
  }
  return false;
}

std::set<Key> Keys(const std::vector<Condition>& conditions) {
  std::set<Key> keys;
  for (int a = 0; a < 5; ++a) {
    for (int b = 0; b < 5; ++b) {
      const Key key{a, b};
      bool all = true;
      for (const Condition& c : conditions) all = all && Admits(c, key);
      if (all) keys.insert(key);
    }
  }
  return keys;
}

TEST(ScanConditionCombinations, EveryResultMeansBothConditions) {
  const std::array kinds{Kind::kEqual, Kind::kLess, Kind::kGreater, Kind::kLessOrEqual, Kind::kGreaterOrEqual};
  const std::vector<Key> values{{1, 1}, {2, 1}, {2, 2}, {2, 3}, {3, 2}};
  int failures = 0;
  for (Kind kept_kind : kinds) {
    for (Kind new_kind : kinds) {
      for (const Key& a : values) {
        for (const Key& c : values) {
          for (int ka = 1; ka <= 2; ++ka) {
            for (int kc = 1; kc <= 2; ++kc) {
              const Condition kept{kept_kind, a, ka};
              const Condition added{new_kind, c, kc};
              const TABSCombineResult result =
                  CombineResultOf(kept_kind, new_kind, Order(a, c, std::min(ka, kc)), ka, kc);
              const std::set<Key> both = Keys({kept, added});
              Condition single = kept;
              switch (result) {
                case TABSCombineResult::kBoth:
                  continue;
                case TABSCombineResult::kNone:
                  if (!both.empty()) {
                    ++failures;
                    ADD_FAILURE() << "none, yet keys qualify: kept " << int(kept_kind) << " (" << a[0] << ","
                                  << a[1] << ")/" << ka << ", new " << int(new_kind) << " (" << c[0] << ","
                                  << c[1] << ")/" << kc;
                  }
                  continue;
                case TABSCombineResult::kKept:
                  break;
                case TABSCombineResult::kNew:
                  single = added;
                  break;
                case TABSCombineResult::kFewer:
                  if (kc < ka) single = added;
                  break;
                case TABSCombineResult::kMore:
                  if (kc > ka) single = added;
                  break;
                case TABSCombineResult::kEquality:
                  single.kind = Kind::kEqual;
                  break;
              }
              if (Keys({single}) != both) {
                ++failures;
                ADD_FAILURE() << "result " << int(result) << " is not both: kept " << int(kept_kind) << " ("
                              << a[0] << "," << a[1] << ")/" << ka << ", new " << int(new_kind) << " (" << c[0]
                              << "," << c[1] << ")/" << kc;
              }
              if (failures > 20) return;
            }
          }
        }
      }
    }
  }
}

TEST(ScanConditionCombinations, ExamplesOfTheTable) {
  struct Case {
    Kind kept;
    Kind added;
    int order, ka, kc;
    TABSCombineResult expected;
  };
  using R = TABSCombineResult;
  const std::vector<Case> cases{
      {Kind::kEqual, Kind::kGreater, -1, 1, 1, R::kNone},           // Kolo = 3, Kolo > 5
      {Kind::kGreaterOrEqual, Kind::kGreater, -1, 1, 1, R::kNew},   // Kolo >= 2, Kolo > 4
      {Kind::kLessOrEqual, Kind::kGreaterOrEqual, 0, 1, 1, R::kEquality},
      // x = 3 and x < (3, 5) both admit (3, 4).
      {Kind::kEqual, Kind::kLess, 0, 1, 2, R::kBoth},
      {Kind::kEqual, Kind::kLess, 0, 2, 1, R::kNone},
      {Kind::kLess, Kind::kEqual, 0, 2, 1, R::kBoth},
      {Kind::kGreater, Kind::kEqual, 0, 2, 1, R::kBoth},
      {Kind::kEqual, Kind::kGreater, 0, 1, 2, R::kBoth},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CombineResultOf(c.kept, c.added, c.order, c.ka, c.kc), c.expected)
        << int(c.kept) << " " << int(c.added) << " " << c.order << " " << c.ka << " " << c.kc;
  }
}

TEST(ScanConditionArray, RefusesConditionsWithoutIndexOrExpression) {
  TABSScanSearchConditionArray conditions;
  TABSScanCondition bare;
  EXPECT_THROW(conditions.Add(bare), EABSException);
  EXPECT_THROW(conditions.Remove(0), EABSException);
  conditions.Add(TABSScanCondition::ForIndex(Kind::kEqual, {1}, 1, 7));
  EXPECT_THROW(conditions.Item(1), EABSException);
  conditions.Remove(0);
  EXPECT_EQ(conditions.Count(), 0);
}

TEST(ScanConditionArray, CombineKeepsTheLastOfEqualConditionsAndExpressionsLast) {
  TABSScanSearchConditionArray conditions;
  const auto compare = [](int32_t, const uint8_t* a, const uint8_t* b, int32_t) { return (*a > *b) - (*a < *b); };
  conditions.Add(TABSScanCondition::ForIndex(Kind::kGreater, {2}, 1, 7));
  conditions.Add(TABSScanCondition::ForIndex(Kind::kLess, {9}, 1, 8));
  conditions.Add(TABSScanCondition::ForIndex(Kind::kGreater, {4}, 1, 7));
  conditions.Add(TABSScanCondition::ForIndex(Kind::kLess, {5}, 1, 7));
  ASSERT_TRUE(conditions.Combine(compare));
  ASSERT_EQ(conditions.Count(), 3);
  EXPECT_EQ(conditions.Item(0).IndexId(), 7);
  EXPECT_EQ(*conditions.Item(0).search.record, 4);
  EXPECT_EQ(conditions.Item(1).Kind(), Kind::kLess);
  EXPECT_EQ(conditions.Item(2).IndexId(), 8);
  conditions.Add(TABSScanCondition::ForIndex(Kind::kEqual, {1}, 1, 7));
  EXPECT_FALSE(conditions.Combine(compare));
  EXPECT_EQ(conditions.Count(), 4);
}

TEST(RecordBitmap, RanksStepsAndBoundsAgreeWithASet) {
  constexpr int32_t kSlots = 37;
  TABSRecordBitmap bitmap;
  bitmap.Reset(kSlots);
  std::mt19937 random(5);
  std::set<TABSRecordId> model;
  for (int i = 0; i < 400; ++i) {
    const TABSRecordId id{static_cast<int32_t>(random() % 60) * 1000, static_cast<uint16_t>(random() % kSlots)};
    if (random() % 4 == 0) {
      bitmap.Clear(id);
      model.erase(id);
    } else {
      bitmap.Set(id);
      model.insert(id);
    }
  }
  ASSERT_EQ(bitmap.Count(), static_cast<int64_t>(model.size()));
  int64_t rank = 0;
  TABSRecordId previous;
  for (const TABSRecordId& id : model) {
    ++rank;
    EXPECT_EQ(bitmap.Rank(id), rank);
    TABSRecordId nth;
    ASSERT_TRUE(bitmap.Nth(rank, nth));
    EXPECT_EQ(nth, id);
    TABSRecordId stepped;
    ASSERT_TRUE(bitmap.Step(previous, true, stepped));
    EXPECT_EQ(stepped, id);
    if (previous.IsValid()) {
      ASSERT_TRUE(bitmap.Step(id, false, stepped));
      EXPECT_EQ(stepped, previous);
    }
    previous = id;
  }
  TABSRecordId none;
  EXPECT_FALSE(bitmap.Step(previous, true, none));
  EXPECT_FALSE(bitmap.Nth(rank + 1, none));
  EXPECT_EQ(bitmap.Rank({1, 0}), -1);
  // A slot the table's pages cannot have.
  EXPECT_THROW(bitmap.Set({0, kSlots}), EABSException);
  EXPECT_FALSE(bitmap.IsSet({0, kSlots}));
  EXPECT_THROW(bitmap.Set({-5, 0}), EABSException);
}

}  // namespace
}  // namespace kelvorin
