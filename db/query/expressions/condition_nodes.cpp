#include "db/query/expressions/condition_nodes.h"

#include <algorithm>
#include <string>

#include "db/query/expressions/expr_compare.h"
#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/value_nodes.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_convert.h"
#include "platform/locale_code_page.h"

namespace kelvorin {
namespace {

bool RoundTripsToAnsi(std::u16string_view text) {
  char c = 0;
  for (char16_t unit : text) {
    if (!platform::WideCharToAnsi(unit, &c)) return false;
  }
  return true;
}

bool IsPlainStringField(TABSExprNode& node) {
  if (node.kind() != TABSExprNode::Kind::kField) return false;
  auto& field = static_cast<TABSExprNodeField&>(node);
  if (!field.IsBound()) return false;
  const TABSColumnType type = field.GetDataType();
  return type == TABSColumnType::Char || type == TABSColumnType::String ||
         type == TABSColumnType::Guid;
}

}  // namespace

// ---------------------------------------------------------------- comparison

TABSExprNodeComparison::TABSExprNodeComparison(uint8_t op, std::unique_ptr<TABSExprNode> left,
                                               std::unique_ptr<TABSExprNode> right,
                                               bool strict_nulls)
    : TABSExprNode(Kind::kComparison, op), strict_nulls_(strict_nulls) {
  AddChild(std::move(left));
  AddChild(std::move(right));
}

void TABSExprNodeComparison::Prepare() {
  TABSExprNode::Prepare();
  // A wide constant against a plain text field is compared as plain text,
  // but only when that loses nothing; otherwise both compare as wide text.
  for (size_t i = 0; i < 2; ++i) {
    TABSExprNode& constant = *children_[i];
    if (constant.kind() != Kind::kConst || !IsPlainStringField(*children_[1 - i])) continue;
    TABSVariant& value = static_cast<TABSExprNodeConst&>(constant).MutableValue();
    if (value.IsNull() || !IsWideStringStorage(value.Type())) continue;
    if (!RoundTripsToAnsi(value.AsWideString())) continue;
    value.ConvertTo(TABSStorageType::String);
  }
}

int32_t TABSExprNodeComparison::PrefixLength(const TABSVariant& left,
                                              const TABSVariant& right) const {
  if (!PartialKey()) return -1;
  const bool left_const = children_[0]->kind() == Kind::kConst;
  const bool right_const = children_[1]->kind() == Kind::kConst;
  if (left_const && right_const) {
    const int32_t a = left.StringLength();
    const int32_t b = right.StringLength();
    return a < 0 || b < 0 ? -1 : std::min(a, b);
  }
  return left_const && !right_const ? left.StringLength() : right.StringLength();
}

TABSTruth TABSExprNodeComparison::EvaluateTruth() {
  const TABSVariant& left = children_[0]->GetValue();
  const TABSVariant& right = children_[1]->GetValue();
  TABSCompareResult r;
  if (empty_key_side_ == 0) {
    r = right.IsNull() ? kCompareRightNull : kCompareEqual;
  } else if (empty_key_side_ == 1) {
    r = left.IsNull() ? kCompareLeftNull : kCompareEqual;
  } else {
    r = CompareForExpression(left, right, CaseInsensitive(), PrefixLength(left, right));
  }
  if (!strict_nulls_) {
    if (r == kCompareLeftNull) r = kCompareLess;
    if (r == kCompareRightNull) r = kCompareGreater;
    if (r == kCompareBothNull) r = kCompareEqual;
  }
  bool result = false;
  switch (Operator()) {
    case kOpEqual: result = r == kCompareEqual; break;
    case kOpNotEqual: result = r != kCompareEqual; break;
    case kOpGreater: result = r == kCompareGreater; break;
    case kOpLess: result = r == kCompareLess; break;
    case kOpGreaterOrEqual: result = r == kCompareEqual || r == kCompareGreater; break;
    case kOpLessOrEqual: result = r == kCompareEqual || r == kCompareLess; break;
    default:
      throw EABSException(native::kComparisonUnknownOperator, {OperatorText(Operator())});
  }
  return result ? TABSTruth::kTrue : TABSTruth::kFalse;
}

const TABSVariant& TABSExprNodeComparison::GetValue() {
  SetTruthValue(EvaluateTruth());
  return value_;
}

bool TABSExprNodeComparison::IsJoinCondition(const TABSExprOperator& left,
                                             const TABSExprOperator& right) {
  if (Operator() != kOpEqual || children_[0]->kind() != Kind::kField ||
      children_[1]->kind() != Kind::kField) {
    return false;
  }
  // Which operator each field lies in: 0 left, 1 right, -1 none.
  int sides[2] = {-1, -1};
  for (int i = 0; i < 2; ++i) {
    const auto& field = static_cast<const TABSExprNodeField&>(*children_[i]);
    int32_t column = -1;
    const int32_t in_left = left.MatchColumns(field.TableName(), field.FieldName(), &column);
    const int32_t in_right = right.MatchColumns(field.TableName(), field.FieldName(), &column);
    if (in_left + in_right > 1) {
      throw EABSException(i == 0 ? native::kJoinAmbiguousFirstField
                                 : native::kJoinAmbiguousSecondField,
                          {field.FieldName()});
    }
    if (in_left + in_right == 0) return false;
    sides[i] = in_left == 1 ? 0 : 1;
  }
  return sides[0] != sides[1];
}

// ---------------------------------------------------------------- boolean

TABSExprNodeBoolean::TABSExprNodeBoolean(uint8_t op) : TABSExprNode(Kind::kBoolean, op) {}

const TABSVariant& TABSExprNodeBoolean::GetValue() {
  SetTruthValue(EvaluateTruth());
  return value_;
}

TABSTruth TABSExprNodeBoolean::EvaluateTruth() {
  switch (Operator()) {
    case kOpNot:
      return Negated(children_[0]->EvaluateTruth());
    case kOpAnd:
      return Conjunction();
    case kOpOr:
      return Disjunction();
    case kOpIn:
      return InList();
    case kOpNotIn:
      return Negated(InList());
    case kOpBetween:
      return Between();
    case kOpNotBetween:
      return Negated(Between());
    case kOpLike:
      return Like();
    case kOpNotLike:
      return Negated(Like());
    case kOpIsNull:
      return children_[0]->GetValue().IsNull() ? TABSTruth::kTrue : TABSTruth::kFalse;
    case kOpIsNotNull:
      return children_[0]->GetValue().IsNull() ? TABSTruth::kFalse : TABSTruth::kTrue;
    default:
      throw EABSException(native::kBooleanUnknownOperator, {OperatorText(Operator())});
  }
}

TABSTruth TABSExprNodeBoolean::Conjunction() {
  TABSTruth result = TABSTruth::kTrue;
  for (auto& child : children_) {
    const TABSTruth truth = child->EvaluateTruth();
    if (truth == TABSTruth::kFalse) return truth;
    if (truth == TABSTruth::kNull) result = truth;
  }
  return result;
}

TABSTruth TABSExprNodeBoolean::Disjunction() {
  TABSTruth result = TABSTruth::kFalse;
  for (auto& child : children_) {
    const TABSTruth truth = child->EvaluateTruth();
    if (truth == TABSTruth::kTrue) return truth;
    if (truth == TABSTruth::kNull) result = truth;
  }
  return result;
}

TABSTruth TABSExprNodeBoolean::InList() {
  const TABSVariant& value = children_[0]->GetValue();
  if (value.IsNull()) return TABSTruth::kNull;
  for (size_t i = 1; i < children_.size(); ++i) {
    const TABSVariant& item = children_[i]->GetValue();
    if (item.IsNull()) continue;
    if (CompareForExpression(value, item, CaseInsensitive()) == kCompareEqual) {
      return TABSTruth::kTrue;
    }
  }
  return TABSTruth::kFalse;
}

TABSTruth TABSExprNodeBoolean::Between() {
  const TABSVariant& value = children_[0]->GetValue();
  const TABSVariant& low = children_[1]->GetValue();
  const TABSVariant& high = children_[2]->GetValue();
  if (value.IsNull() || low.IsNull() || high.IsNull()) return TABSTruth::kNull;
  const TABSCompareResult above = CompareForExpression(value, low, CaseInsensitive());
  if (above == kCompareLess) return TABSTruth::kFalse;
  const TABSCompareResult below = CompareForExpression(value, high, CaseInsensitive());
  return below == kCompareGreater ? TABSTruth::kFalse : TABSTruth::kTrue;
}

TABSLikeMatcher& TABSExprNodeBoolean::Matcher() {
  if (matcher_ == nullptr) matcher_ = std::make_unique<TABSLikeMatcher>();
  return *matcher_;
}

TABSTruth TABSExprNodeBoolean::Like() {
  const TABSVariant& value = children_[0]->GetValue();
  const TABSVariant& pattern = children_[1]->GetValue();
  if (value.IsNull() || pattern.IsNull()) return TABSTruth::kNull;
  const TABSStorageType common = ResultType(value.Type(), pattern.Type(), true);
  if (!IsStringStorage(common)) throw EABSException(native::kLikeNotString, {"LIKE"});
  const TABSVariant* escape = children_.size() > 2 ? &children_[2]->GetValue() : nullptr;
  if (escape != nullptr && !escape->IsNull() && escape->StringLength() != 1) {
    throw EABSException(native::kLikeEscapeValueInvalid, {escape->AsString()});
  }
  const bool has_escape = escape != nullptr && !escape->IsNull();
  const bool wide = IsWideStringStorage(common) ||
                    (has_escape && IsWideStringStorage(escape->Type()));
  if (wide) {
    const std::u16string text = value.AsWideString();
    const std::u16string pat = pattern.AsWideString();
    const std::u16string esc = has_escape ? escape->AsWideString() : std::u16string();
    return Matcher().MatchWide(text, pat, esc, CaseInsensitive()) ? TABSTruth::kTrue
                                                                  : TABSTruth::kFalse;
  }
  // Plain text is matched where it lies; other types as their text.
  auto text_of = [](const TABSVariant& v, std::string* scratch) -> std::string_view {
    if (IsStringStorage(v.Type())) {
      return {static_cast<const char*>(v.Data()), AnsiLength(v.Data(), v.DataSize())};
    }
    *scratch = v.AsString();
    return *scratch;
  };
  std::string text_scratch;
  std::string pattern_scratch;
  std::string escape_scratch;
  const std::string_view text = text_of(value, &text_scratch);
  const std::string_view pat = text_of(pattern, &pattern_scratch);
  const std::string_view esc = has_escape ? text_of(*escape, &escape_scratch) : std::string_view();
  return Matcher().MatchAnsi(text, pat, esc, CaseInsensitive()) ? TABSTruth::kTrue
                                                               : TABSTruth::kFalse;
}

}  // namespace kelvorin
