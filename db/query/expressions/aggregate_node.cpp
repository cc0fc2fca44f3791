#include "db/query/expressions/aggregate_node.h"

#include <algorithm>
#include <limits>

#include "db/query/expressions/expr_compare.h"
#include "db/query/expressions/expression_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

constexpr __int128 kLargeIntMin = std::numeric_limits<int64_t>::min();
constexpr __int128 kLargeIntMax = std::numeric_limits<int64_t>::max();

}  // namespace

TABSExprNodeAggregated::TABSExprNodeAggregated(uint8_t op, bool distinct,
                                               std::unique_ptr<TABSExprNode> argument)
    : TABSExprNode(Kind::kAggregated, op), distinct_(distinct) {
  if (argument != nullptr) AddChild(std::move(argument));
  ResetAggregate();
}

void TABSExprNodeAggregated::ResetAggregate() {
  count_ = 0;
  float_sum_ = false;
  integer_sum_ = 0;
  float_total_ = 0;
  float_type_ = S::None;
  seen_.clear();
  value_.Clear(S::None);
}

bool TABSExprNodeAggregated::SeenOrder::operator()(const TABSVariant& a,
                                                   const TABSVariant& b) const {
  return CompareSignedForExpression(a, b, node->CaseInsensitive()) < 0;
}

bool TABSExprNodeAggregated::FirstOccurrence(const TABSVariant& value) {
  return !distinct_ || seen_.insert(value).second;
}

void TABSExprNodeAggregated::AddNumber(const TABSVariant& value,
                                       const TABSNativeError& not_numeric) {
  if (!IsNumericStorage(value.Type())) {
    throw EABSException(not_numeric, {OperatorText(Operator())});
  }
  int64_t integer = 0;
  if (!float_sum_ && IntegerValueOf(value, &integer)) {
    integer_sum_ += integer;
    if (Operator() == kOpSumAggregate && (integer_sum_ < kLargeIntMin || integer_sum_ > kLargeIntMax)) {
      throw EABSException(native::kAggregateOverflow, {OperatorText(Operator())});
    }
    return;
  }
  if (!float_sum_) {
    float_sum_ = true;
    float_total_ = static_cast<long double>(integer_sum_);
  }
  if (float_type_ == S::None && !IsIntegerStorage(value.Type())) float_type_ = value.Type();
  float_total_ += value.AsExtended();
}

void TABSExprNodeAggregated::Accumulate() {
  if (Operator() == kOpCountAll) {
    ++count_;
    return;
  }
  const TABSVariant& arg = children_[0]->GetValue();
  switch (Operator()) {
    case kOpSumAggregate:
    case kOpAvg:
      if (arg.IsNull()) {
        if (!IsNumericStorage(arg.Type()) && arg.Type() != S::None) {
          throw EABSException(Operator() == kOpAvg ? native::kAvgNotNumeric : native::kSumNotNumeric,
                              {OperatorText(Operator())});
        }
        return;
      }
      if (!FirstOccurrence(arg)) return;
      AddNumber(arg, Operator() == kOpAvg ? native::kAvgNotNumeric : native::kSumNotNumeric);
      ++count_;
      return;
    case kOpMin:
    case kOpMax: {
      if (value_.IsNull()) {
        value_.Assign(arg, true);
        return;
      }
      if (arg.IsNull()) return;
      TABSCompareResult r = CompareForExpression(arg, value_, true);
      // Texts equal but for case are told apart by it, so that the result
      // does not depend on the order the rows came in.
      if (r == kCompareEqual) r = CompareForExpression(arg, value_, false);
      if (r == (Operator() == kOpMin ? kCompareLess : kCompareGreater)) value_.Assign(arg, true);
      return;
    }
    case kOpCount:
      if (!arg.IsNull() && FirstOccurrence(arg)) ++count_;
      return;
    default:
      throw EABSException(native::kAggregateUnknownOperator, {OperatorText(Operator())});
  }
}

const TABSVariant& TABSExprNodeAggregated::GetValue() {
  switch (Operator()) {
    case kOpSumAggregate:
      if (count_ == 0) {
        value_.Clear(S::LargeInt);
      } else if (!float_sum_) {
        value_.Clear(S::LargeInt);
        value_.SetLargeInt(static_cast<int64_t>(integer_sum_));
      } else {
        value_.Clear(float_type_ == S::None ? S::Float : float_type_);
        value_.SetExtended(float_total_);
      }
      return value_;
    case kOpAvg:
      value_.Clear(S::Float);
      if (count_ > 0) {
        value_.SetFloat(float_sum_ ? static_cast<double>(float_total_ / count_)
                                   : static_cast<double>(integer_sum_) / count_);
      }
      return value_;
    case kOpMin:
    case kOpMax:
      return value_;
    case kOpCount:
    case kOpCountAll:
      value_.Clear(S::Integer);
      value_.SetInteger(count_);
      return value_;
    default:
      throw EABSException(native::kAggregateValueUnknownOperator, {OperatorText(Operator())});
  }
}

int32_t TABSExprNodeAggregated::GetDataSize() {
  if ((Operator() == kOpMin || Operator() == kOpMax) && !children_.empty()) return children_[0]->GetDataSize();
  return 0;
}

TABSColumnType TABSExprNodeAggregated::GetDataType() {
  using C = TABSColumnType;
  switch (Operator()) {
    case kOpSumAggregate: {
      const C type = children_[0]->GetDataType();
      return type == C::Single || type == C::Float || type == C::Extended || type == C::Currency
                 ? type
                 : C::LargeInt;
    }
    case kOpAvg:
      return C::Float;
    case kOpMin:
    case kOpMax:
      return children_[0]->GetDataType();
    case kOpCount:
    case kOpCountAll:
      return C::Integer;
    default:
      throw EABSException(native::kTypeUnknownOperator, {OperatorText(Operator())});
  }
}

bool TABSExprNodeAggregated::CanEvaluateIn(const TABSExprOperator& op) {
  return op.IsGrouping() && TABSExprNode::CanEvaluateIn(op);
}

}  // namespace kelvorin
