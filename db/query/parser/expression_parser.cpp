#include "db/query/parser/expression_parser.h"

#include <limits>
#include <string>

#include "db/query/expressions/aggregate_node.h"
#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/date_function_node.h"
#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/function_nodes.h"
#include "db/query/expressions/value_nodes.h"
#include "db/storage/errors/abs_exception.h"
#include "db/tables/values/value_encoding.h"

namespace kelvorin {
namespace {

using Node = TABSExpressionParser::Node;

// The longest string a CAST may declare: the largest whose wide record slot
// still fits the 32-bit sizes of the value layer.
constexpr int32_t kMaxCastStringSize = 0x3FFFFFFE;

bool IsOperatorSymbol(std::string_view text) {
  return !text.empty() && std::string_view("=<>+-*/|").find(text[0]) != std::string_view::npos;
}

bool IsCastTarget(TABSColumnType type) {
  using C = TABSColumnType;
  switch (type) {
    case C::Char: case C::String: case C::WideChar: case C::WideString: case C::ShortInt:
    case C::SmallInt: case C::Integer: case C::LargeInt: case C::Byte: case C::Word:
    case C::Cardinal: case C::AutoInc: case C::Single: case C::Float: case C::Extended:
    case C::Logical: case C::Currency: case C::Date: case C::Time: case C::DateTime:
    case C::TimeStamp:
      return true;
    default:
      return false;
  }
}

Node MakeConst(TABSVariant value) { return std::make_unique<TABSExprNodeConst>(std::move(value)); }

Node NullConstant() { return MakeConst(TABSVariant(TABSStorageType::Integer)); }

Node IntegerConstant(int64_t value) {
  uint8_t bytes[8];
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
    StoreLE<int32_t>(bytes, static_cast<int32_t>(value));
    return std::make_unique<TABSExprNodeConst>(TABSStorageType::Integer, bytes, 4);
  }
  StoreLE<int64_t>(bytes, value);
  return std::make_unique<TABSExprNodeConst>(TABSStorageType::LargeInt, bytes, 8);
}

Node FloatConstant(double value) {
  uint8_t bytes[8];
  StoreLE<double>(bytes, value);
  return std::make_unique<TABSExprNodeConst>(TABSStorageType::Float, bytes, 8);
}

bool IsTextConstant(const TABSExprNode& node) {
  if (node.kind() != TABSExprNode::Kind::kConst) return false;
  const TABSStorageType type = node.Value().Type();
  return IsStringStorage(type) || IsBlobStorage(type);
}

// Removes a trailing '*' of a text constant; true when there was one.
bool CutPartialKeyStar(TABSExprNode& node) {
  if (node.kind() != TABSExprNode::Kind::kConst) return false;
  TABSVariant& value = static_cast<TABSExprNodeConst&>(node).MutableValue();
  if (value.IsNull() || !IsStringStorage(value.Type())) return false;
  const TABSStorageType type = value.Type();
  if (IsWideStringStorage(type)) {
    std::u16string text = value.AsWideString();
    if (text.empty() || text.back() != u'*') return false;
    text.pop_back();
    value.Clear(type);
    value.SetWideString(text);
  } else {
    std::string text = value.AsString();
    if (text.empty() || text.back() != '*') return false;
    text.pop_back();
    value.Clear(type);
    value.SetString(text);
  }
  return true;
}

}  // namespace

class TABSExpressionParser::Nesting {
 public:
  explicit Nesting(TABSExpressionParser& parser) : parser_(parser) {
    if (++parser_.depth_ > kMaxNestingDepth) {
      --parser_.depth_;
      parser_.Fail(native::kExpressionTooDeep);
    }
  }
  ~Nesting() { --parser_.depth_; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;

 private:
  TABSExpressionParser& parser_;
};

TABSExpressionParser::TABSExpressionParser(TABSExpression& expression, TABSLexer& lexer,
                                           TABSParseStatistics* statistics)
    : expression_(expression),
      lexer_(lexer),
      statistics_(statistics),
      nodes_placed_at_start_(ExprNodesPlaced()),
      mark_(lexer.GetCurrentTokenNo()),
      current_(&lexer.CurrentToken()) {}

TABSExpressionParser::~TABSExpressionParser() {
  statistics_->nodes_made = ExprNodesPlaced() - nodes_placed_at_start_;
}

// ---------------------------------------------------------------- helpers

std::string TABSExpressionParser::FoundText() const {
  if (Current().token_type == tktNone && lexer_.CurrentCommand() >= 0) {
    return std::string(lexer_.LastToken().text);
  }
  return std::string(Current().text);
}

void TABSExpressionParser::Fail(const TABSNativeError& error) const {
  throw EABSException(error, {Current().line_num, Current().column_num});
}

void TABSExpressionParser::FailExpected(const TABSNativeError& error,
                                        std::string_view expected) const {
  throw EABSException(error, {expected, FoundText(), Current().line_num, Current().column_num});
}

void TABSExpressionParser::FailArgument(const TABSNativeError& error,
                                        std::string_view function) const {
  throw EABSException(error, {function, Current().line_num, Current().column_num});
}

void TABSExpressionParser::FailFound(const TABSNativeError& error) const {
  throw EABSException(error, {FoundText(), Current().line_num, Current().column_num});
}

void TABSExpressionParser::Expect(TTokenType type, const TABSNativeError& error,
                                  std::string_view expected) {
  if (!Is(type)) FailExpected(error, expected);
  Next();
}

Node TABSExpressionParser::Checked(Node node) const {
  if (node->Height() > kMaxTreeHeight) Fail(native::kExpressionTooDeep);
  return node;
}

// ---------------------------------------------------------------- conditions

Node TABSExpressionParser::Condition() {
  Node term = BooleanTerm();
  if (term == nullptr || !IsReserved(rwOR)) return term;
  // One node for the whole chain, so that a long OR list is not deep.
  auto disjunction = std::make_unique<TABSExprNodeBoolean>(kOpOr);
  disjunction->AddChild(std::move(term));
  while (IsReserved(rwOR)) {
    Next();
    Node next = BooleanTerm();
    if (next == nullptr) FailFound(native::kBooleanTermExpected);
    disjunction->AddChild(std::move(next));
  }
  return Checked(std::move(disjunction));
}

Node TABSExpressionParser::BooleanTerm() {
  Node factor = BooleanFactor();
  if (factor == nullptr || !IsReserved(rwAND)) return factor;
  auto conjunction = std::make_unique<TABSExprNodeBoolean>(kOpAnd);
  conjunction->AddChild(std::move(factor));
  while (IsReserved(rwAND)) {
    Next();
    Node next = BooleanFactor();
    if (next == nullptr) FailFound(native::kBooleanFactorExpected);
    conjunction->AddChild(std::move(next));
  }
  return Checked(std::move(conjunction));
}

Node TABSExpressionParser::BooleanFactor() {
  const bool negated = IsReserved(rwNOT);
  if (negated) Next();
  Node test = BooleanTest();
  if (test == nullptr) {
    if (negated) FailFound(native::kBooleanTestExpected);
    return nullptr;
  }
  if (!negated) return test;
  auto node = std::make_unique<TABSExprNodeBoolean>(kOpNot);
  node->AddChild(std::move(test));
  return Checked(std::move(node));
}

Node TABSExpressionParser::BooleanTest() {
  Node primary = BooleanPrimary();
  if (primary == nullptr) FailFound(native::kBooleanPrimaryExpected);
  if (!IsReserved(rwIS)) return primary;
  Next();
  const bool negated = IsReserved(rwNOT);
  if (negated) Next();
  uint8_t op = kOpNone;
  if (IsReserved(rwTRUE)) {
    op = negated ? kOpNot : kOpNone;
  } else if (IsReserved(rwFALSE)) {
    op = negated ? kOpNone : kOpNot;
  } else if (IsReserved(rwUNKNOWN) || IsReserved(rwNULL)) {
    // IS NULL of a truth value (a logical parameter) is IS UNKNOWN.
    op = negated ? kOpIsNotNull : kOpIsNull;
  } else {
    FailExpected(native::kIsTruthExpected, "TRUE, FALSE or UNKNOWN");
  }
  Next();
  if (op == kOpNone) return primary;
  auto node = std::make_unique<TABSExprNodeBoolean>(op);
  node->AddChild(std::move(primary));
  return Checked(std::move(node));
}

Node TABSExpressionParser::BooleanPrimary() {
  if (!Is(tktLeftParenthesis)) return Predicate();
  Nesting nesting(*this);
  Next();
  Node condition = Condition();
  if (condition == nullptr) FailFound(native::kBooleanPrimaryExpected);
  Expect(tktRightParenthesis, native::kConditionCloseExpected, ")");
  return condition;
}

Node TABSExpressionParser::BooleanLiteral() {
  const TToken& token = Current();
  if (IsReserved(rwTRUE) || IsReserved(rwFALSE)) {
    TABSVariant v;
    v.SetLogical(IsReserved(rwTRUE));
    Next();
    return MakeConst(std::move(v));
  }
  if (token.token_type == tktParameter && token.param_value != nullptr &&
      token.param_value->Type() == TABSStorageType::Logical) {
    Node node = MakeConst(*token.param_value);
    Next();
    return node;
  }
  return nullptr;
}

Node TABSExpressionParser::Predicate() {
  if (Node literal = BooleanLiteral()) return literal;
  // Every other predicate starts with an operand: it is read once and the
  // token after it tells the alternatives apart.
  const int32_t start = Mark();
  Node left = Operand();
  if (left == nullptr) {
    Reset(start);
    return nullptr;
  }
  static constexpr std::pair<std::string_view, uint8_t> kComparisons[] = {
      {"=", kOpEqual}, {"<>", kOpNotEqual}, {"<", kOpLess},
      {">", kOpGreater}, {"<=", kOpLessOrEqual}, {">=", kOpGreaterOrEqual}};
  for (const auto& [word, op] : kComparisons) {
    if (!IsWord(word)) continue;
    Next();
    Node node = Comparison(op, std::move(left));
    if (node == nullptr) Reset(start);
    return node;
  }
  const bool negated = IsReserved(rwNOT);
  if (negated) Next();
  if (IsReserved(rwLIKE)) return Like(negated, std::move(left));
  Node node;
  if (!negated && IsReserved(rwIS)) {
    Next();
    const bool not_null = IsReserved(rwNOT);
    if (not_null) Next();
    if (IsReserved(rwNULL)) {
      Next();
      node = std::make_unique<TABSExprNodeBoolean>(not_null ? kOpIsNotNull : kOpIsNull);
      node->AddChild(std::move(left));
    }
  } else if (IsReserved(rwBETWEEN)) {
    Next();
    Node low = Operand();
    if (low != nullptr && IsReserved(rwAND)) {
      Next();
      if (Node high = Operand()) {
        node = std::make_unique<TABSExprNodeBoolean>(negated ? kOpNotBetween : kOpBetween);
        node->AddChild(std::move(left));
        node->AddChild(std::move(low));
        node->AddChild(std::move(high));
      }
    }
  } else if (IsReserved(rwIN) && lexer_.NextToken().token_type == tktLeftParenthesis) {
    Next();
    Nesting nesting(*this);
    Next();
    auto list = std::make_unique<TABSExprNodeBoolean>(negated ? kOpNotIn : kOpIn);
    list->AddChild(std::move(left));
    bool complete = false;
    for (Node item = ValueExpression(); item != nullptr;) {
      list->AddChild(std::move(item));
      if (Is(tktRightParenthesis)) {
        Next();
        complete = true;
        break;
      }
      // A missing comma between two values is accepted.
      if (Is(tktComma)) Next();
      item = ValueExpression();
    }
    if (complete) node = std::move(list);
  }
  if (node == nullptr) {
    Reset(start);
    return nullptr;
  }
  return Checked(std::move(node));
}

Node TABSExpressionParser::Comparison(uint8_t op, Node left) {
  Node right = Operand();
  if (right == nullptr) return nullptr;
  bool partial = false;
  int8_t empty_key_side = -1;
  if (expression_.PartialKey()) {
    // Both sides lose their '*' when both are such constants; a '*' alone
    // leaves the empty prefix (an empty text is NULL as a value).
    const bool cut_left = CutPartialKeyStar(*left);
    const bool cut_right = CutPartialKeyStar(*right);
    partial = cut_left || cut_right;
    if (cut_right && right->Value().IsNull()) empty_key_side = 1;
    if (cut_left && left->Value().IsNull()) empty_key_side = 0;
  }
  auto node = std::make_unique<TABSExprNodeComparison>(op, std::move(left), std::move(right),
                                                       expression_.StrictNulls());
  node->SetCaseInsensitive(expression_.CaseInsensitive());
  node->SetPartialKey(partial);
  node->SetEmptyKeySide(empty_key_side);
  return Checked(std::move(node));
}

Node TABSExpressionParser::Like(bool negated, Node left) {
  const std::string_view name = negated ? "NOT LIKE" : "LIKE";
  Next();
  Node pattern = Operand();
  if (pattern == nullptr) FailExpected(native::kLikePatternExpected, name);
  auto node = std::make_unique<TABSExprNodeBoolean>(negated ? kOpNotLike : kOpLike);
  node->AddChild(std::move(left));
  node->AddChild(std::move(pattern));
  if (IsReserved(rwESCAPE)) {
    Next();
    const TToken& at = Current();
    const int32_t line = at.line_num;
    const int32_t column = at.column_num;
    const std::string found = FoundText();
    Node escape = Operand();
    const bool one_character = escape != nullptr && escape->kind() == TABSExprNode::Kind::kConst &&
                               escape->Value().StringLength() == 1;
    if (!one_character) throw EABSException(native::kLikeEscapeInvalid, {found, line, column});
    node->AddChild(std::move(escape));
  }
  return Checked(std::move(node));
}

// NULL alone is a value expression too, and so is NULL + 5.
Node TABSExpressionParser::Operand() { return ValueExpression(); }

// ---------------------------------------------------------------- values

Node TABSExpressionParser::ValueExpression() {
  const int32_t start = Mark();
  if (Node numeric = NumericExpression()) {
    if (!IsWord("||")) return numeric;
    Recycle(std::move(numeric));
  }
  Reset(start);
  if (Node text = StringExpression()) return text;
  Reset(start);
  if (Node date = DateExpression()) return date;
  Reset(start);
  if (Node literal = BooleanLiteral()) return literal;
  if (IsReserved(rwNULL)) {
    Next();
    return NullConstant();
  }
  return nullptr;
}

Node TABSExpressionParser::NumericExpression() {
  const int32_t start = Mark();
  Node term = Term();
  if (term == nullptr) return nullptr;
  if (!IsWord("+") && !IsWord("-")) return term;
  auto sum = std::make_unique<TABSExprNodeArithmetic>(kOpSum);
  sum->AddChild(std::move(term));
  while (IsWord("+") || IsWord("-")) {
    // The sign belongs to the next term: a - b is a + (-b).
    Node next = Term();
    if (next == nullptr) {
      Recycle(std::move(sum));
      Reset(start);
      return nullptr;
    }
    sum->AddChild(std::move(next));
  }
  return Checked(std::move(sum));
}

Node TABSExpressionParser::Term() {
  Node result = Factor();
  if (result == nullptr) return nullptr;
  // Products of several factors share one node; a quotient takes what was
  // read so far as its dividend.
  bool open_product = false;
  while (IsWord("*") || IsWord("/")) {
    const bool product = IsWord("*");
    Next();
    Node factor = Factor();
    if (factor == nullptr) {
      Recycle(std::move(result));
      return nullptr;
    }
    if (product && open_product) {
      result->AddChild(std::move(factor));
    } else {
      auto node = std::make_unique<TABSExprNodeArithmetic>(product ? kOpProduct : kOpQuotient);
      node->AddChild(std::move(result));
      node->AddChild(std::move(factor));
      result = std::move(node);
      open_product = product;
    }
    result = Checked(std::move(result));
  }
  return result;
}

Node TABSExpressionParser::Factor() {
  const bool minus = IsWord("-");
  if (minus || IsWord("+")) Next();
  if (minus && (Is(tktInt) || Is(tktFloat))) {
    // A minus before a literal is part of it: -2147483648 is an INTEGER.
    const TToken& token = Current();
    Node literal = token.token_type == tktInt ? IntegerConstant(-token.int_value)
                                              : FloatConstant(-token.float_value);
    Next();
    return literal;
  }
  Node primary = NumericPrimary();
  if (primary == nullptr || !minus) return primary;
  auto node = std::make_unique<TABSExprNodeArithmetic>(kOpNegate);
  node->AddChild(std::move(primary));
  return Checked(std::move(node));
}

Node TABSExpressionParser::NumericPrimary() {
  const int32_t start = Mark();
  if (Node primary = Primary()) {
    // A text constant is left to the string expression.
    if (!IsTextConstant(*primary)) return primary;
    Recycle(std::move(primary));
    Reset(start);
    return nullptr;
  }
  return NumericFunction();
}

Node TABSExpressionParser::Primary() {
  const TToken& token = Current();
  const bool composite = token.token_type == tktLeftParenthesis ||
                         TABSLexer::IsReservedWord(token, rwCAST) ||
                         TABSLexer::IsReservedWord(token, rwCOUNT) ||
                         TABSLexer::IsReservedWord(token, rwSUM) ||
                         TABSLexer::IsReservedWord(token, rwAVG) ||
                         TABSLexer::IsReservedWord(token, rwMIN) ||
                         TABSLexer::IsReservedWord(token, rwMAX);
  if (!composite) return ParsePrimary();
  const int32_t start = Mark();
  auto known = memo_.find(start);
  if (known != memo_.end() && (known->second.none || known->second.kept != nullptr)) {
    ++statistics_->primaries_reused;
    if (known->second.none) return nullptr;
    Reset(known->second.end);
    return std::move(known->second.kept);
  }
  // Read for the first time, or once more when what was read there went
  // elsewhere than back to the memo.
  ++statistics_->primaries_parsed;
  Node primary = ParsePrimary();
  Memo& memo = memo_[start];
  memo.none = primary == nullptr;
  memo.end = Mark();
  if (primary != nullptr) primary->SetParseKey(start);
  return primary;
}

void TABSExpressionParser::Recycle(Node node) {
  if (node == nullptr) return;
  const int32_t key = node->ParseKey();
  if (key >= 0) {
    auto slot = memo_.find(key);
    if (slot != memo_.end() && !slot->second.none && slot->second.kept == nullptr) {
      slot->second.kept = std::move(node);
      return;
    }
  }
  // Abandoned results are height-limited like every tree.
  for (Node& child : node->TakeChildren()) Recycle(std::move(child));
}

Node TABSExpressionParser::ParsePrimary() {
  const int32_t start = Mark();
  if (Node literal = Literal()) return literal;
  if (Node column = ColumnReference()) return column;
  Reset(start);
  if (Node aggregate = Aggregate()) return aggregate;
  Reset(start);
  if (Node value = ParenthesisedValue()) return value;
  Reset(start);
  if (Node cast = Cast()) return cast;
  Reset(start);
  return nullptr;
}

Node TABSExpressionParser::Literal() {
  const TToken& token = Current();
  // NULL is a value like any literal: NULL + 5, LENGTH(NULL), 'a' || NULL.
  if (IsReserved(rwNULL)) {
    Next();
    return NullConstant();
  }
  Node node;
  switch (token.token_type) {
    case tktInt:
      node = IntegerConstant(token.int_value);
      break;
    case tktFloat:
      node = FloatConstant(token.float_value);
      break;
    case tktQuotedString: {
      TABSVariant v(TABSStorageType::String);
      v.SetString(token.text);
      node = MakeConst(std::move(v));
      break;
    }
    case tktParameter: {
      if (token.param_value == nullptr) return nullptr;
      const TABSStorageType type = token.param_value->Type();
      if (!IsNumericStorage(type) && !IsStringStorage(type) && type != TABSStorageType::Blob) {
        return nullptr;
      }
      node = MakeConst(*token.param_value);
      break;
    }
    default:
      return nullptr;
  }
  Next();
  return node;
}

Node TABSExpressionParser::ColumnReference() {
  auto is_name = [](const TToken& token) {
    return (token.token_type == tktString && !IsOperatorSymbol(token.text)) ||
           token.token_type == tktBracketedString || token.token_type == tktReservedWord;
  };
  if (!is_name(Current())) return nullptr;
  const TToken* name = &Current();
  std::string qualifier;
  Next();
  if (Is(tktDot)) {
    Next();
    if (Current().token_type == tktNone) return nullptr;
    qualifier = name->text;
    name = &Current();
    Next();
  }
  // Reserved words and names followed by '(' are never columns.
  if (Is(tktLeftParenthesis) || name->token_type == tktReservedWord) return nullptr;
  auto field = std::make_unique<TABSExprNodeField>(std::move(qualifier), std::string(name->text));
  if (expression_.Cursor() != nullptr) field->BindToCursor(expression_.Cursor());
  return field;
}

Node TABSExpressionParser::Aggregate() {
  if (IsReserved(rwCOUNT) && lexer_.NextToken().token_type == tktLeftParenthesis) {
    const int32_t start = Mark();
    Next();
    Next();
    if (IsWord("*")) {
      Next();
      Expect(tktRightParenthesis, native::kCountStarCloseExpected, ")");
      read_aggregate_ = true;
      return std::make_unique<TABSExprNodeAggregated>(kOpCountAll, false, nullptr);
    }
    Reset(start);
  }
  static constexpr std::pair<uint16_t, uint8_t> kAggregates[] = {
      {rwCOUNT, kOpCount}, {rwAVG, kOpAvg}, {rwMAX, kOpMax}, {rwMIN, kOpMin},
      {rwSUM, kOpSumAggregate}};
  for (const auto& [word, op] : kAggregates) {
    if (!IsReserved(word)) continue;
    Next();
    const bool distinct = IsReserved(rwDISTINCT);
    if (distinct) Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kAggregateOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node argument = ValueExpression();
    if (argument == nullptr) FailArgument(native::kAggregateArgumentExpected, OperatorText(op));
    Expect(tktRightParenthesis, native::kAggregateCloseExpected, ")");
    read_aggregate_ = true;
    return Checked(std::make_unique<TABSExprNodeAggregated>(op, distinct, std::move(argument)));
  }
  return nullptr;
}

Node TABSExpressionParser::ParenthesisedValue() {
  if (!Is(tktLeftParenthesis)) return nullptr;
  Nesting nesting(*this);
  Next();
  Node value = ValueExpression();
  if (value == nullptr) return nullptr;
  Expect(tktRightParenthesis, native::kParenthesisCloseExpected, ")");
  return value;
}

Node TABSExpressionParser::Cast() {
  if (!IsReserved(rwCAST) || lexer_.NextToken().token_type != tktLeftParenthesis) return nullptr;
  Next();
  Nesting nesting(*this);
  Next();
  Node operand = Operand();
  if (operand == nullptr) return nullptr;
  if (!IsReserved(rwAS) && !Is(tktComma)) {
    Recycle(std::move(operand));
    return nullptr;
  }
  Next();
  const TSQLFieldType* row = FindSQLFieldType(Current().text);
  if (Current().token_type == tktNone || row == nullptr || !IsCastTarget(row->column_type)) {
    throw EABSException(native::kCastUnknownType,
                        {row == nullptr || Current().token_type == tktNone
                             ? std::string_view("Unknown")
                             : ColumnTypeName(row->column_type)});
  }
  const TABSColumnType target = row->column_type;
  Next();
  Node size;
  if (Is(tktLeftParenthesis)) {
    Next();
    const std::string found = FoundText();
    const int32_t line = Current().line_num;
    const int32_t column = Current().column_num;
    size = NumericExpression();
    int64_t value = 0;
    const bool valid = size != nullptr && size->kind() == TABSExprNode::Kind::kConst &&
                       !size->Value().IsNull() && IsIntegerStorage(size->Value().Type()) &&
                       (value = size->Value().AsLargeInt()) >= 1 && value <= kMaxCastStringSize;
    if (!valid) throw EABSException(native::kCastSizeInvalid, {kMaxCastStringSize, found, line, column});
    Expect(tktRightParenthesis, native::kCastSizeCloseExpected, ")");
  }
  Expect(tktRightParenthesis, native::kCastCloseExpected, ")");
  return Checked(std::make_unique<TABSExprNodeCast>(target, std::move(operand), std::move(size)));
}

Node TABSExpressionParser::NumericFunction() {
  if (IsReserved(rwPOSITION) || IsReserved(rwPOS)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kPosOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node needle = StringExpression();
    if (needle == nullptr) FailArgument(native::kPosNeedleExpected, "POS");
    if (!Is(tktComma) && !IsReserved(rwIN)) FailExpected(native::kPosSeparatorExpected, ",' or 'IN");
    Next();
    Node text = StringExpression();
    if (text == nullptr) FailArgument(native::kPosTextExpected, "POS");
    Expect(tktRightParenthesis, native::kPosCloseExpected, ")");
    auto node = std::make_unique<TABSExprNodeStringFunction>(kOpPos);
    node->AddChild(std::move(needle));
    node->AddChild(std::move(text));
    return Checked(std::move(node));
  }
  if (IsReserved(rwLENGTH)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kLengthOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node text = StringExpression();
    if (text == nullptr) FailArgument(native::kLengthArgumentExpected, "LENGTH");
    Expect(tktRightParenthesis, native::kLengthCloseExpected, ")");
    auto node = std::make_unique<TABSExprNodeStringFunction>(kOpLength);
    node->AddChild(std::move(text));
    return Checked(std::move(node));
  }
  if (IsReserved(rwLASTAUTOINC)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kLastAutoIncOpenExpected, "(");
    Next();
    std::string table(Current().text);
    Next();
    bool in_memory = expression_.InMemoryTables();
    if (IsReserved(rwMEMORY)) {
      in_memory = true;
      Next();
    }
    if (!Is(tktComma)) FailExpected(native::kLastAutoIncCommaExpected, ",");
    Next();
    std::string field(Current().text);
    Next();
    Expect(tktRightParenthesis, native::kLastAutoIncCloseExpected, ")");
    return std::make_unique<TABSExprNodeSystem>(expression_.AutoIncProvider(),
                                                expression_.DatabaseName(), std::move(table),
                                                in_memory, std::move(field));
  }
  return nullptr;
}

Node TABSExpressionParser::StringExpression() {
  Node first = StringPrimary();
  if (first == nullptr || (!IsWord("||") && !IsWord("+"))) return first;
  auto concat = std::make_unique<TABSExprNodeStringFunction>(kOpConcat);
  concat->AddChild(std::move(first));
  while (IsWord("||") || IsWord("+")) {
    Next();
    // A part that cannot be read is skipped with its operator.
    if (Node next = StringPrimary()) concat->AddChild(std::move(next));
  }
  return Checked(std::move(concat));
}

Node TABSExpressionParser::StringPrimary() {
  if (Node primary = Primary()) return primary;
  return StringFunction();
}

Node TABSExpressionParser::StringFunction() {
  static constexpr std::pair<uint16_t, uint8_t> kOneArgument[] = {
      {rwUPPER, kOpUpper}, {rwLOWER, kOpLower}, {rwTRIM, kOpTrim},
      {rwLTRIM, kOpLTrim}, {rwRTRIM, kOpRTrim}};
  for (const auto& [word, op] : kOneArgument) {
    if (!IsReserved(word)) continue;
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kStringFunctionOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node argument = StringExpression();
    Expect(tktRightParenthesis, native::kStringFunctionCloseExpected, ")");
    if (argument == nullptr) {
      throw EABSException(native::kStringFunctionArgumentExpected,
                          {OperatorText(op), FoundText(), Current().line_num, Current().column_num});
    }
    auto node = std::make_unique<TABSExprNodeStringFunction>(op);
    node->AddChild(std::move(argument));
    return Checked(std::move(node));
  }
  if (IsReserved(rwSUBSTRING)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kSubstringOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node text = StringExpression();
    if (text == nullptr) FailArgument(native::kSubstringTextExpected, "SUBSTRING");
    if (!IsReserved(rwFROM) && !Is(tktComma)) FailExpected(native::kSubstringFromExpected, ",' or 'from");
    Next();
    Node start = NumericExpression();
    if (start == nullptr) FailArgument(native::kSubstringStartExpected, "SUBSTRING");
    auto node = std::make_unique<TABSExprNodeStringFunction>(kOpSubstring);
    node->AddChild(std::move(text));
    node->AddChild(std::move(start));
    if (IsReserved(rwFOR) || Is(tktComma)) {
      Next();
      Node length = NumericExpression();
      if (length == nullptr) FailArgument(native::kSubstringStartExpected, "SUBSTRING");
      node->AddChild(std::move(length));
      Expect(tktRightParenthesis, native::kSubstringCloseExpected, ")");
    } else {
      Expect(tktRightParenthesis, native::kSubstringForExpected, ")' or ',' or 'FOR");
    }
    return Checked(std::move(node));
  }
  if (IsReserved(rwTOSTRING)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kToStringOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node value = ValueExpression();
    if (value == nullptr) FailArgument(native::kToStringArgumentExpected, "TOSTRING");
    Expect(tktComma, native::kToStringCommaExpected, ",");
    if (!Is(tktQuotedString)) FailFound(native::kToStringFormatExpected);
    std::string format(Current().text);
    Next();
    Expect(tktRightParenthesis, native::kToStringCloseExpected, ")");
    return Checked(std::make_unique<TABSExprNodeDateFunction>(kOpToString, std::move(value),
                                                              std::move(format)));
  }
  return nullptr;
}

Node TABSExpressionParser::DateExpression() {
  const TToken& token = Current();
  if (IsReserved(rwSYSDATE) || IsReserved(rwNOW) || IsReserved(rwCURRENT_TIMESTAMP) ||
      IsReserved(rwCURRENT_DATE) || IsReserved(rwCURRENT_TIME)) {
    const uint8_t op = IsReserved(rwCURRENT_DATE)   ? kOpCurrentDate
                       : IsReserved(rwCURRENT_TIME) ? kOpCurrentTime
                                                    : kOpNow;
    Next();
    return std::make_unique<TABSExprNodeDateFunction>(op, expression_.Clock());
  }
  if (IsReserved(rwTODATE)) {
    Next();
    if (!Is(tktLeftParenthesis)) FailExpected(native::kToDateOpenExpected, "(");
    Nesting nesting(*this);
    Next();
    Node text = StringExpression();
    if (text == nullptr) FailArgument(native::kToDateArgumentExpected, "ToDate");
    Expect(tktComma, native::kToDateCommaExpected, ",");
    if (!Is(tktQuotedString)) FailFound(native::kToDateFormatExpected);
    std::string format(Current().text);
    Next();
    Expect(tktRightParenthesis, native::kToDateCloseExpected, ")");
    return Checked(std::make_unique<TABSExprNodeDateFunction>(kOpToDate, std::move(text),
                                                              std::move(format)));
  }
  if (token.token_type == tktParameter && token.param_value != nullptr &&
      IsDateTimeStorage(token.param_value->Type())) {
    Node node = MakeConst(*token.param_value);
    Next();
    return node;
  }
  return nullptr;
}

}  // namespace kelvorin
