// Aggregates over the rows of a group: SUM, AVG, MIN, MAX, COUNT and
// COUNT(*), each optionally over DISTINCT values. Integers are summed in 64
// bits (an overflow raises an error instead of wrapping); AVG divides the
// exact sum by the count in double precision.
#pragma once

#include <cstdint>
#include <memory>
#include <set>

#include "db/query/expressions/expr_node.h"

namespace kelvorin {

class TABSExprNodeAggregated : public TABSExprNode {
 public:
  // argument is absent only for COUNT(*).
  TABSExprNodeAggregated(uint8_t op, bool distinct, std::unique_ptr<TABSExprNode> argument);
  TABSExprNodeAggregated(const TABSExprNodeAggregated& other, CloneTag tag)
      : TABSExprNode(other, tag), distinct_(other.distinct_) {}
  std::unique_ptr<TABSExprNode> Clone() const override {
    return CloneAs<TABSExprNodeAggregated>();
  }

  const TABSVariant& GetValue() override;
  bool IsAggregated() const override { return true; }
  void ResetAggregate() override;
  void Accumulate() override;
  TABSColumnType GetDataType() override;
  // MIN and MAX of a string are as wide as their argument.
  int32_t GetDataSize() override;
  bool CanEvaluateIn(const TABSExprOperator& op) override;

  bool Distinct() const { return distinct_; }
  int32_t Count() const { return count_; }

 private:
  // Whether the value was not seen before in this group (DISTINCT).
  bool FirstOccurrence(const TABSVariant& value);
  void AddNumber(const TABSVariant& value, const TABSNativeError& not_numeric);

  int32_t count_ = 0;
  bool distinct_;
  // Running sum of SUM and AVG: exact integers while every value was an
  // integer, floating point once one was not.
  bool float_sum_ = false;
  __int128 integer_sum_ = 0;
  long double float_total_ = 0;
  TABSStorageType float_type_ = TABSStorageType::None;
  // The values seen in this group (DISTINCT only), ordered as comparisons
  // order them, so that equal values (also texts equal under the
  // collation) are kept once.
  struct SeenOrder {
    const TABSExprNode* node;
    bool operator()(const TABSVariant& a, const TABSVariant& b) const;
  };
  std::set<TABSVariant, SeenOrder> seen_{SeenOrder{this}};
};

}  // namespace kelvorin
