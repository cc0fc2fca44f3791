// The base node: children, height, the default virtual operations and the
// non-recursive destruction of a tree.
#include "db/query/expressions/expr_node.h"

#include <algorithm>
#include <utility>

#include "db/query/expressions/expression_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"

namespace kelvorin {

std::string_view OperatorText(uint8_t op) {
  switch (op) {
    case kOpEqual: return "=";
    case kOpNotEqual: return "<>";
    case kOpGreater: return ">";
    case kOpLess: return "<";
    case kOpGreaterOrEqual: return ">=";
    case kOpLessOrEqual: return "<=";
    case kOpNot: return "NOT";
    case kOpAnd: return "AND";
    case kOpOr: return "OR";
    case kOpLike: return "LIKE";
    case kOpNotLike: return "NOT LIKE";
    case kOpIsNull: return "IS NULL";
    case kOpIsNotNull: return "IS NOT NULL";
    case kOpSum: return "+";
    case kOpNegate: return "-";
    case kOpProduct: return "*";
    case kOpQuotient: return "/";
    case kOpConcat: return "||";
    case kOpUpper: return "UPPER";
    case kOpLower: return "LOWER";
    case kOpTrim: return "TRIM";
    case kOpLTrim: return "LTRIM";
    case kOpRTrim: return "RTRIM";
    case kOpSumAggregate: return "SUM";
    case kOpAvg: return "AVG";
    case kOpMin: return "MIN";
    case kOpMax: return "MAX";
    case kOpCount: return "COUNT";
    case kOpCountAll: return "COUNT(*)";
    default: return "unknown";
  }
}

TABSExprNode::TABSExprNode(Kind kind, uint8_t op) : kind_(kind), operator_(op) {}

TABSExprNode::TABSExprNode(const TABSExprNode& other, CloneTag)
    : kind_(other.kind_),
      operator_(other.operator_),
      case_insensitive_(other.case_insensitive_),
      partial_key_(other.partial_key_) {}

void TABSExprNode::CloneChildrenOf(const TABSExprNode& other) {
  for (const auto& child : other.children_) AddChild(child->Clone());
}

TABSExprNode::~TABSExprNode() {
  // Each node is destroyed only after its children were moved out, so a
  // tree of any depth is freed with a flat loop.
  std::vector<std::unique_ptr<TABSExprNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TABSExprNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

void TABSExprNode::AddChild(std::unique_ptr<TABSExprNode> child) {
  height_ = std::max(height_, child->height_ + 1);
  children_.push_back(std::move(child));
}

std::unique_ptr<TABSExprNode> TABSExprNode::TakeChild(size_t i) {
  std::unique_ptr<TABSExprNode> child = std::move(children_[i]);
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
  RecomputeHeight();
  return child;
}

std::vector<std::unique_ptr<TABSExprNode>> TABSExprNode::TakeChildren() {
  std::vector<std::unique_ptr<TABSExprNode>> children = std::move(children_);
  children_.clear();
  height_ = 1;
  return children;
}

void TABSExprNode::RecomputeHeight() {
  height_ = 1;
  for (const auto& child : children_) height_ = std::max(height_, child->height_ + 1);
}

void TABSExprNode::Prepare() {
  for (auto& child : children_) child->Prepare();
}

bool TABSExprNode::IsAggregated() const {
  return std::any_of(children_.begin(), children_.end(),
                     [](const auto& child) { return child->IsAggregated(); });
}

void TABSExprNode::ResetAggregate() {
  for (auto& child : children_) child->ResetAggregate();
}

void TABSExprNode::Accumulate() {
  for (auto& child : children_) child->Accumulate();
}

void TABSExprNode::BindToAO(TABSExprOperator* op) {
  for (auto& child : children_) child->BindToAO(op);
}

void TABSExprNode::BindToCursor(TABSExprFieldSource* cursor) {
  for (auto& child : children_) child->BindToCursor(cursor);
}

void TABSExprNode::BindToRecord(const uint8_t* buffer) {
  for (auto& child : children_) child->BindToRecord(buffer);
}

TABSColumnType TABSExprNode::GetDataType() {
  if (children_.empty()) throw EABSException(native::kTypeCombinationFailed);
  TABSColumnType type = children_[0]->GetDataType();
  for (size_t i = 1; i < children_.size(); ++i) {
    type = ResultColumnType(type, children_[i]->GetDataType(), false);
  }
  if (type == TABSColumnType::None) throw EABSException(native::kTypeCombinationFailed);
  return type;
}

int32_t TABSExprNode::GetDataSize() { return 0; }

int32_t TABSExprNode::GetPrecision() { return 0; }

bool TABSExprNode::CanEvaluateIn(const TABSExprOperator& op) {
  return std::all_of(children_.begin(), children_.end(),
                     [&op](const auto& child) { return child->CanEvaluateIn(op); });
}

bool TABSExprNode::IsJoinCondition(const TABSExprOperator&, const TABSExprOperator&) {
  return false;
}

void TABSExprNode::ResolveAliases(std::span<const TABSSelectAlias> select_list) {
  for (auto& child : children_) child->ResolveAliases(select_list);
}

TABSTruth TABSExprNode::EvaluateTruth() { return TruthOf(GetValue()); }

void TABSExprNode::SetTruthValue(TABSTruth truth) {
  if (truth == TABSTruth::kNull) {
    if (value_.Type() != TABSStorageType::Logical) value_.Clear(TABSStorageType::Logical);
    value_.SetNull();
    return;
  }
  uint8_t bytes[2];
  StoreLE<uint16_t>(bytes, truth == TABSTruth::kTrue ? kLogicalTrue : 0);
  value_.SetRaw(bytes, 2, TABSStorageType::Logical, true);
}

TABSColumnType TABSExprNode::StringResultType(size_t child) {
  if (child < children_.size() && IsWideStringColumn(children_[child]->GetDataType())) {
    return TABSColumnType::WideString;
  }
  return TABSColumnType::String;
}

int32_t StringWidthOf(TABSColumnType type, int32_t own_size) {
  using C = TABSColumnType;
  switch (type) {
    case C::Char:
    case C::String:
    case C::WideChar:
    case C::WideString:
    case C::Blob:
    case C::Graphic:
    case C::Memo:
    case C::FormattedMemo:
    case C::WideMemo:
      return own_size;
    case C::ShortInt:
    case C::AutoIncShortInt:
      return 4;
    case C::SmallInt:
    case C::AutoIncSmallInt:
      return 6;
    case C::Integer:
    case C::AutoInc:
    case C::AutoIncInteger:
      return 11;
    case C::LargeInt:
    case C::AutoIncLargeInt:
      return 20;
    case C::Byte:
    case C::AutoIncByte:
      return 3;
    case C::Word:
    case C::AutoIncWord:
      return 5;
    case C::Cardinal:
    case C::AutoIncCardinal:
      return 10;
    case C::Single:
    case C::Float:
    case C::Extended:
    case C::Date:
    case C::Time:
    case C::DateTime:
    case C::TimeStamp:
      return 26;
    case C::Logical:
      return 5;
    case C::Currency:
      return 21;
    case C::Guid:
      return 38;
    default:
      throw EABSException(native::kCastSizeUnsupportedType, {ColumnTypeName(type)});
  }
}

int32_t StringPartSize(TABSExprNode& node) {
  const TABSColumnType type = node.GetDataType();
  if (IsStringColumn(type)) return node.GetDataSize();
  return StringWidthOf(type, node.GetDataSize());
}

TABSTruth TruthOf(const TABSVariant& value) {
  if (value.IsNull()) return TABSTruth::kNull;
  return value.AsLogical() ? TABSTruth::kTrue : TABSTruth::kFalse;
}

}  // namespace kelvorin
