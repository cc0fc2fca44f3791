#include "db/query/parser/expression.h"

#include <vector>

#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/value_nodes.h"
#include "db/query/lexer/lexer.h"
#include "db/query/parser/expression_parser.h"
#include "db/storage/errors/abs_exception.h"
#include "platform/locale_profile.h"

namespace kelvorin {
namespace {

// Moves the children of AND children of the root up into the root, so that
// the root lists every conjunct.
// The children of an AND child are appended at the end of the list, where
// an AND among them is taken apart in turn. In one pass, since taking
// children out one at a time costs the square of a long list's length.
void MergeConjunctions(TABSExprNode& root) {
  auto is_and = [](const TABSExprNode& node) {
    return node.kind() == TABSExprNode::Kind::kBoolean && node.Operator() == kOpAnd;
  };
  if (!is_and(root)) return;
  std::vector<std::unique_ptr<TABSExprNode>> pending = root.TakeChildren();
  std::vector<std::unique_ptr<TABSExprNode>> kept;
  kept.reserve(pending.size());
  for (size_t i = 0; i < pending.size(); ++i) {
    std::unique_ptr<TABSExprNode> child = std::move(pending[i]);
    if (!is_and(*child)) {
      kept.push_back(std::move(child));
      continue;
    }
    for (auto& grandchild : child->TakeChildren()) pending.push_back(std::move(grandchild));
  }
  for (auto& child : kept) root.AddChild(std::move(child));
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

TABSExpression::TABSExpression() : clock_(&SystemClock()) {}

TABSExpression::~TABSExpression() = default;

// ---------------------------------------------------------------- parsing

std::unique_ptr<TABSExprNode> TABSExpression::ParseConditionTree(TABSLexer& lexer) {
  root_.reset();
  prepared_ = false;
  statistics_ = {};
  const TToken& first = lexer.CurrentToken();
  if (first.token_type == tktNone) {
    throw EABSException(native::kConditionUnexpectedEnd, {first.line_num, first.column_num});
  }
  TABSExpressionParser parser(*this, lexer, &statistics_);
  std::unique_ptr<TABSExprNode> root = parser.Condition();
  if (root == nullptr) {
    const TToken& at = lexer.CurrentToken();
    throw EABSException(native::kBooleanPrimaryExpected, {at.text, at.line_num, at.column_num});
  }
  MergeConjunctions(*root);
  if (cursor_ != nullptr) {
    if (parser.ReadAggregate()) CheckAggregatesIn(*root, false);
    root->Prepare();
    prepared_ = true;
  }
  return root;
}

void TABSExpression::ParseCondition(TABSLexer& lexer) {
  std::unique_ptr<TABSExprNode> root = ParseConditionTree(lexer);
  root_ = std::move(root);
}

void TABSExpression::ParseValue(std::string_view database_name, TABSLexer& lexer) {
  root_.reset();
  prepared_ = false;
  statistics_ = {};
  database_name_ = database_name;
  const TToken& first = lexer.CurrentToken();
  if (first.token_type == tktNone) {
    throw EABSException(native::kValueUnexpectedEnd, {first.line_num, first.column_num});
  }
  TABSExpressionParser parser(*this, lexer, &statistics_);
  root_ = parser.ValueExpression();
}

void TABSExpression::ParseForFilter(TABSExprFieldSource* cursor, std::string_view text,
                                    bool partial_key, bool case_insensitive) {
  root_.reset();
  cursor_ = cursor;
  partial_key_ = partial_key;
  case_insensitive_ = case_insensitive;
  TABSLexer lexer(text, nullptr);
  if (lexer.NumCommands() == 0) throw EABSException(native::kFilterBlank);
  lexer.NextCommand();
  std::unique_ptr<TABSExprNode> root = ParseConditionTree(lexer);
  // A filter is one condition: anything after it is a mistake, not a rest
  // to be ignored.
  const TToken& rest = lexer.CurrentToken();
  if (rest.token_type != tktNone) {
    throw EABSException(native::kFilterTokensLeft, {rest.text, rest.line_num, rest.column_num});
  }
  root_ = std::move(root);
}

void TABSExpression::BuildLocate(TABSExprFieldSource* cursor, std::string_view field_names,
                                 std::span<const TABSVariant> key_values, bool case_insensitive,
                                 bool partial_key) {
  root_.reset();
  prepared_ = false;
  cursor_ = cursor;
  strict_nulls_ = false;
  case_insensitive_ = case_insensitive;
  partial_key_ = partial_key;
  std::vector<std::string> names;
  const auto& locale = platform::CurrentLocale();
  for (;;) {
    const size_t separator = field_names.find(';');
    names.push_back(locale.UpperAnsi(Trimmed(field_names.substr(0, separator))));
    if (separator == std::string_view::npos) break;
    field_names.remove_prefix(separator + 1);
  }
  if (names.size() != key_values.size()) {
    throw EABSException(native::kLocateCountMismatch,
                        {static_cast<int64_t>(names.size()), static_cast<int64_t>(key_values.size())});
  }
  std::vector<std::unique_ptr<TABSExprNode>> comparisons;
  for (size_t i = 0; i < names.size(); ++i) {
    auto field = std::make_unique<TABSExprNodeField>("", names[i]);
    field->BindToCursor(cursor);
    auto node = std::make_unique<TABSExprNodeComparison>(
        kOpEqual, std::move(field), std::make_unique<TABSExprNodeConst>(key_values[i]), false);
    node->SetCaseInsensitive(case_insensitive);
    node->SetPartialKey(partial_key);
    comparisons.push_back(std::move(node));
  }
  std::unique_ptr<TABSExprNode> root;
  if (comparisons.size() == 1) {
    root = std::move(comparisons[0]);
  } else {
    root = std::make_unique<TABSExprNodeBoolean>(kOpAnd);
    for (auto& comparison : comparisons) root->AddChild(std::move(comparison));
  }
  root->Prepare();
  prepared_ = true;
  root_ = std::move(root);
}

// ---------------------------------------------------------------- evaluation

const TABSVariant* TABSExpression::GetValue(bool keep_null) {
  if (root_ == nullptr) return nullptr;
  const TABSVariant& value = root_->GetValue();
  if (value.IsNull() && !keep_null) {
    false_value_.Clear(TABSStorageType::Logical);
    false_value_.SetLogical(false);
    return &false_value_;
  }
  return &value;
}

bool TABSExpression::GetBooleanValue() {
  if (root_ == nullptr) throw EABSException(native::kExprEmptyBooleanValue);
  return root_->EvaluateTruth() == TABSTruth::kTrue;
}

bool TABSExpression::IsAggregated() const { return root_ != nullptr && root_->IsAggregated(); }

void TABSExpression::ResetAggregate() {
  if (root_ != nullptr) root_->ResetAggregate();
}

void TABSExpression::Accumulate() {
  if (root_ != nullptr) root_->Accumulate();
}

TABSColumnType TABSExpression::GetDataType() {
  return root_ == nullptr ? TABSColumnType::None : root_->GetDataType();
}

int32_t TABSExpression::GetDataSize() { return root_ == nullptr ? 0 : root_->GetDataSize(); }

int32_t TABSExpression::GetPrecision() { return root_ == nullptr ? 0 : root_->GetPrecision(); }

// ---------------------------------------------------------------- binding

void TABSExpression::CheckAggregatesIn(const TABSExprNode& node, bool allowed) {
  // Trees are height-limited, so this recursion stays shallow.
  const bool aggregate = node.kind() == TABSExprNode::Kind::kAggregated;
  if (aggregate && !allowed) {
    throw EABSException(native::kAggregateNotAllowed, {OperatorText(node.Operator())});
  }
  for (size_t i = 0; i < node.ChildCount(); ++i) {
    CheckAggregatesIn(*node.Child(i), allowed && !aggregate);
  }
}

void TABSExpression::BindToAO(TABSExprOperator* op, bool aggregates_allowed) {
  if (root_ == nullptr) return;
  CheckAggregatesIn(*root_, aggregates_allowed);
  root_->BindToAO(op);
  root_->Prepare();
  prepared_ = true;
}

void TABSExpression::BindToCursor(TABSExprFieldSource* cursor) {
  cursor_ = cursor;
  if (root_ == nullptr) return;
  CheckAggregatesIn(*root_, false);
  root_->BindToCursor(cursor);
  root_->Prepare();
  prepared_ = true;
}

void TABSExpression::BindToRecord(const uint8_t* buffer) {
  if (root_ == nullptr) return;
  root_->BindToRecord(buffer);
  // Preparing changes only constants, once; a filter rebinds per row.
  if (!prepared_) {
    root_->Prepare();
    prepared_ = true;
  }
}

bool TABSExpression::IsField() const {
  return root_ != nullptr && root_->kind() == TABSExprNode::Kind::kField;
}

void TABSExpression::GetFieldName(std::string* table_name, std::string* field_name) const {
  if (!IsField()) throw EABSException(native::kRootNotField);
  const auto& field = static_cast<const TABSExprNodeField&>(*root_);
  *table_name = field.TableName();
  *field_name = field.FieldName();
}

void TABSExpression::ResolveAliases(std::span<const TABSSelectAlias> select_list) {
  if (root_ != nullptr) root_->ResolveAliases(select_list);
}

void TABSExpression::SetRootNode(std::unique_ptr<TABSExprNode> root) {
  if (root != nullptr && root->Height() > kMaxTreeHeight) {
    throw EABSException(native::kExpressionTooDeep, {0, 0});
  }
  root_ = std::move(root);
  prepared_ = false;
}

}  // namespace kelvorin
