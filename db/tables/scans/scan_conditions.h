// The conditions of one scan: index conditions (a comparison of an index's
// leading columns with values the condition owns) and expression
// conditions (a filter tree, true or false for a record), and how index
// conditions on the same index combine.
//
// The combination table says, for a kept and a new condition on one index
// and the order of their values over the smaller column count, what stands
// for both: one of them, the one with fewer or more columns, an equality,
// both, or nothing at all (no record can satisfy both).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/tables/btree/index.h"

namespace kelvorin {

class TABSExpression;
class TABSExprNode;

struct TABSScanCondition {
  // Index conditions: kind, values, column count and the index's object
  // number; `search.record` points into `values`.
  TABSScanSearchCondition search;
  std::shared_ptr<const std::vector<uint8_t>> values;
  // Expression conditions: the tree, and the comparisons directly under its
  // root that index conditions stand for in this scan (the root itself when
  // it was one), which the scan does not evaluate again.
  TABSExpression* expression = nullptr;
  std::vector<const TABSExprNode*> taken_out;

  bool IsIndexCondition() const { return expression == nullptr; }
  TABSScanConditionKind Kind() const { return search.kind; }
  int32_t Columns() const { return search.columns; }
  int32_t IndexId() const { return search.index_object_id; }

  static TABSScanCondition ForIndex(TABSScanConditionKind kind, std::vector<uint8_t> values, int32_t columns,
                                    int32_t index_object_id);
  static TABSScanCondition ForExpression(TABSExpression& expression);
};

// What stands for a kept and a new condition on one index.
enum class TABSCombineResult : uint8_t { kKept, kNew, kFewer, kMore, kEquality, kBoth, kNone };
// When a result holds, by the column counts ka (kept) and kc (new).
enum class TABSCountRule : uint8_t { kAlways, kKeptNotFewer, kKeptNotMore, kSameCount };

struct TABSCombineOutcome {
  TABSCombineResult result;
  TABSCountRule rule = TABSCountRule::kAlways;
  TABSCombineResult otherwise = TABSCombineResult::kBoth;
};
// By the order of the kept values against the new ones.
struct TABSCombineCell {
  TABSCombineOutcome less, equal, greater;
};
// Rows: the kept condition's kind, columns: the new one's (=, <, >, <=, >=).
using TABSCombineTable = std::array<std::array<TABSCombineCell, 5>, 5>;
const TABSCombineTable& ConditionCombinations();

// `order`: the sign of CompareRecords(kept values, new values) over the
// smaller column count.
TABSCombineResult CombineResultOf(TABSScanConditionKind kept, TABSScanConditionKind added, int order,
                                  int32_t kept_columns, int32_t added_columns);

class TABSScanSearchConditionArray {
 public:
  // The order of two value records over a column count on an index.
  using Compare = std::function<int(int32_t index_object_id, const uint8_t* a, const uint8_t* b, int32_t columns)>;

  // Raises "Invalid scan condition" for a condition with neither an
  // expression nor an index.
  void Add(TABSScanCondition condition);
  // Raises "Invalid item number" beyond the list.
  void Remove(int32_t item);
  const TABSScanCondition& Item(int32_t item) const;
  TABSScanCondition& Item(int32_t item);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  std::vector<TABSScanCondition>& Items() { return items_; }
  const std::vector<TABSScanCondition>& Items() const { return items_; }

  // Combines the index conditions index by index (indexes in the order they
  // first appear), drops repeated ones (the last of equal ones stays) and
  // puts the expression conditions after them. False when no record can
  // satisfy them all (the list is then left as it was).
  bool Combine(const Compare& compare);

 private:
  std::vector<TABSScanCondition> items_;
};

}  // namespace kelvorin
