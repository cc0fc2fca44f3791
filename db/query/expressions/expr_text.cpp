#include "db/query/expressions/expr_text.h"

#include <charconv>
#include <cstring>

#include "db/query/expressions/aggregate_node.h"
#include "db/query/expressions/condition_nodes.h"
#include "db/query/expressions/date_function_node.h"
#include "db/query/expressions/value_nodes.h"

namespace kelvorin {
namespace {

using Kind = TABSExprNode::Kind;

class Printer {
 public:
  std::string Condition(const TABSExprNode& node);
  std::string Value(const TABSExprNode& node);

 private:
  bool IsCondition(const TABSExprNode& node) const {
    return node.kind() == Kind::kComparison || node.kind() == Kind::kBoolean;
  }
  bool IsNegativeNumber(const TABSExprNode& node) const;
  std::string Quoted(std::string_view text, char quote) const;
  std::string Constant(const TABSExprNodeConst& node) const;
  std::string Wrapped(const TABSExprNode& node) { return Around("(", Value(node), ")"); }
  // A minus directly before a number reads back as part of the number.
  std::string Negation(const TABSExprNode& operand) {
    return Around("-", operand.kind() == Kind::kConst ? Wrapped(operand) : Primary(operand), "");
  }
  // Built by appending: the same with operator+ on a temporary makes GCC 12
  // warn of an overlapping copy that cannot happen.
  static std::string Around(std::string_view before, const std::string& text,
                            std::string_view after) {
    std::string out;
    out.reserve(before.size() + text.size() + after.size());
    out.append(before).append(text).append(after);
    return out;
  }
  // Forms of the value grammar's positions.
  std::string Primary(const TABSExprNode& node);
  std::string Factor(const TABSExprNode& node);
  std::string Term(const TABSExprNode& node);
  std::string StringPrimary(const TABSExprNode& node);
  std::string StringExpression(const TABSExprNode& node);
  std::string NumericExpression(const TABSExprNode& node);
  // The left operand of a predicate must not start with '(' (that reads as
  // a parenthesised condition); a '+' sign in front keeps it a value.
  std::string LeftOperand(const TABSExprNode& node);
  std::string Operand(const TABSExprNode& node);
  std::string Nested(const TABSExprNode& node) { return Around("(", Condition(node), ")"); }
};

bool Printer::IsNegativeNumber(const TABSExprNode& node) const {
  if (node.kind() != Kind::kConst) return false;
  const TABSVariant& v = node.Value();
  if (v.IsNull() || !IsNumericStorage(v.Type())) return false;
  return v.AsExtended() < 0;
}

std::string Printer::Quoted(std::string_view text, char quote) const {
  std::string out(1, quote);
  for (char c : text) {
    out.push_back(c);
    if (c == quote) out.push_back(c);
  }
  out.push_back(quote == '[' ? ']' : quote);
  return out;
}

std::string Printer::Constant(const TABSExprNodeConst& node) const {
  const TABSVariant& v = node.Value();
  if (v.IsNull()) return IsStringStorage(v.Type()) ? "''" : "NULL";
  switch (v.Type()) {
    case TABSStorageType::Logical:
      return v.AsLogical() ? "TRUE" : "FALSE";
    case TABSStorageType::Single:
    case TABSStorageType::Float:
    case TABSStorageType::Extended:
    case TABSStorageType::Currency: {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.AsFloat());
      std::string text(buffer, ec == std::errc() ? end : buffer);
      if (text.find_first_of(".eE") == std::string::npos) text += ".0";
      return text;
    }
    default:
      break;
  }
  if (IsNumericStorage(v.Type())) return std::to_string(v.AsLargeInt());
  return Quoted(v.AsString(), '\'');
}

std::string Printer::Primary(const TABSExprNode& node) {
  switch (node.kind()) {
    case Kind::kConst: {
      // TRUE and FALSE are values but no primaries (NULL is one).
      const TABSVariant& v = node.Value();
      const bool keyword = !v.IsNull() && v.Type() == TABSStorageType::Logical;
      return IsNegativeNumber(node) || keyword ? Wrapped(node) : Value(node);
    }
    case Kind::kField:
    case Kind::kAggregated:
    case Kind::kCast:
      return Value(node);
    default:
      return Wrapped(node);
  }
}

std::string Printer::Factor(const TABSExprNode& node) {
  if (IsNegativeNumber(node)) return Value(node);
  if (node.kind() == Kind::kArithmetic && node.Operator() == kOpNegate) {
    return Negation(*node.Child(0));
  }
  if (node.kind() == Kind::kStringFunction &&
      (node.Operator() == kOpLength || node.Operator() == kOpPos)) {
    return Value(node);
  }
  return Primary(node);
}

std::string Printer::Term(const TABSExprNode& node) {
  if (node.kind() == Kind::kArithmetic &&
      (node.Operator() == kOpProduct || node.Operator() == kOpQuotient)) {
    return Value(node);
  }
  return Factor(node);
}

std::string Printer::NumericExpression(const TABSExprNode& node) {
  if (node.kind() == Kind::kArithmetic && node.Operator() == kOpSum) return Value(node);
  return Term(node);
}

std::string Printer::StringPrimary(const TABSExprNode& node) {
  if (node.kind() == Kind::kStringFunction && node.Operator() != kOpLength &&
      node.Operator() != kOpPos && node.Operator() != kOpConcat) {
    return Value(node);
  }
  if (node.kind() == Kind::kDateFunction && node.Operator() == kOpToString) return Value(node);
  return Primary(node);
}

std::string Printer::StringExpression(const TABSExprNode& node) {
  if (node.kind() == Kind::kStringFunction && node.Operator() == kOpConcat) return Value(node);
  return StringPrimary(node);
}

std::string Printer::Operand(const TABSExprNode& node) {
  if (IsCondition(node)) return Nested(node);
  return Value(node);
}

std::string Printer::LeftOperand(const TABSExprNode& node) {
  std::string text = Operand(node);
  if (!text.empty() && text[0] == '(') return "+" + text;
  return text;
}

std::string Printer::Value(const TABSExprNode& node) {
  switch (node.kind()) {
    case Kind::kConst:
      return Constant(static_cast<const TABSExprNodeConst&>(node));
    case Kind::kField: {
      const auto& field = static_cast<const TABSExprNodeField&>(node);
      std::string name = Quoted(field.FieldName(), '[');
      return field.TableName().empty() ? name : Quoted(field.TableName(), '[') + "." + name;
    }
    case Kind::kComparison:
    case Kind::kBoolean:
      return Condition(node);
    case Kind::kArithmetic: {
      switch (node.Operator()) {
        case kOpNegate:
          return Negation(*node.Child(0));
        case kOpSum: {
          std::string text = Term(*node.Child(0));
          for (size_t i = 1; i < node.ChildCount(); ++i) {
            // A term that starts with a minus is read back with it as its sign.
            const std::string term = Term(*node.Child(i));
            text += (term[0] == '-' ? " " : " + ") + term;
          }
          return text;
        }
        case kOpProduct: {
          std::string text = Term(*node.Child(0));
          for (size_t i = 1; i < node.ChildCount(); ++i) text += " * " + Factor(*node.Child(i));
          return text;
        }
        default:
          return Term(*node.Child(0)) + " / " + Factor(*node.Child(1));
      }
    }
    case Kind::kStringFunction: {
      auto args = [&](size_t from) {
        std::string text;
        for (size_t i = from; i < node.ChildCount(); ++i) text += ", " + NumericExpression(*node.Child(i));
        return text;
      };
      switch (node.Operator()) {
        case kOpConcat: {
          std::string text = StringPrimary(*node.Child(0));
          // A concatenation whose other parts were skipped keeps its operator.
          if (node.ChildCount() == 1) return text + " ||";
          for (size_t i = 1; i < node.ChildCount(); ++i) text += " || " + StringPrimary(*node.Child(i));
          return text;
        }
        case kOpLength:
          return "LENGTH(" + StringExpression(*node.Child(0)) + ")";
        case kOpPos:
          return "POS(" + StringExpression(*node.Child(0)) + ", " +
                 StringExpression(*node.Child(1)) + ")";
        case kOpSubstring:
          return "SUBSTRING(" + StringExpression(*node.Child(0)) + args(1) + ")";
        default:
          return std::string(OperatorText(node.Operator())) + "(" +
                 StringExpression(*node.Child(0)) + ")";
      }
    }
    case Kind::kAggregated: {
      const auto& aggregate = static_cast<const TABSExprNodeAggregated&>(node);
      if (node.Operator() == kOpCountAll) return "COUNT(*)";
      return std::string(OperatorText(node.Operator())) + (aggregate.Distinct() ? " DISTINCT" : "") +
             "(" + Value(*node.Child(0)) + ")";
    }
    case Kind::kCast: {
      const auto& cast = static_cast<const TABSExprNodeCast&>(node);
      std::string text = "CAST(" + Operand(*node.Child(0)) + " AS " +
                         std::string(ColumnTypeName(cast.TargetType()));
      if (cast.Size() >= 0) text += "(" + std::to_string(cast.Size()) + ")";
      return text + ")";
    }
    case Kind::kDateFunction: {
      const auto& date = static_cast<const TABSExprNodeDateFunction&>(node);
      switch (node.Operator()) {
        case kOpNow: return "NOW";
        case kOpCurrentDate: return "CURRENT_DATE";
        case kOpCurrentTime: return "CURRENT_TIME";
        case kOpToDate:
          return "TODATE(" + StringExpression(*node.Child(0)) + ", " + Quoted(date.Format(), '\'') + ")";
        default:
          return "TOSTRING(" + Value(*node.Child(0)) + ", " + Quoted(date.Format(), '\'') + ")";
      }
    }
    case Kind::kSystem: {
      const auto& system = static_cast<const TABSExprNodeSystem&>(node);
      return "LASTAUTOINC(" + Quoted(system.TableName(), '[') + (system.InMemory() ? " MEMORY" : "") +
             ", " + Quoted(system.FieldName(), '[') + ")";
    }
  }
  return "";
}

std::string Printer::Condition(const TABSExprNode& node) {
  if (node.kind() == Kind::kComparison) {
    return LeftOperand(*node.Child(0)) + " " + std::string(OperatorText(node.Operator())) + " " +
           Operand(*node.Child(1));
  }
  if (node.kind() != Kind::kBoolean) return Value(node);
  const uint8_t op = node.Operator();
  switch (op) {
    case kOpNot:
      return "NOT " + Nested(*node.Child(0));
    case kOpAnd:
    case kOpOr: {
      std::string text = Nested(*node.Child(0));
      for (size_t i = 1; i < node.ChildCount(); ++i) {
        text += (op == kOpAnd ? " AND " : " OR ") + Nested(*node.Child(i));
      }
      return text;
    }
    case kOpIn:
    case kOpNotIn: {
      std::string text = LeftOperand(*node.Child(0)) + (op == kOpIn ? " IN (" : " NOT IN (");
      for (size_t i = 1; i < node.ChildCount(); ++i) {
        text += (i > 1 ? ", " : "") + Value(*node.Child(i));
      }
      return text + ")";
    }
    case kOpBetween:
    case kOpNotBetween:
      return LeftOperand(*node.Child(0)) + (op == kOpBetween ? " BETWEEN " : " NOT BETWEEN ") +
             Operand(*node.Child(1)) + " AND " + Operand(*node.Child(2));
    case kOpLike:
    case kOpNotLike: {
      std::string text = LeftOperand(*node.Child(0)) + (op == kOpLike ? " LIKE " : " NOT LIKE ") +
                         Operand(*node.Child(1));
      if (node.ChildCount() > 2) text += " ESCAPE " + Operand(*node.Child(2));
      return text;
    }
    case kOpIsNull:
    case kOpIsNotNull: {
      const TABSExprNode& child = *node.Child(0);
      // TRUE and FALSE read as predicates, so they take the condition form.
      const bool logical = child.kind() == Kind::kConst && child.Value().Type() == TABSStorageType::Logical;
      if (IsCondition(child) || logical) {
        return Nested(child) + (op == kOpIsNull ? " IS UNKNOWN" : " IS NOT UNKNOWN");
      }
      return LeftOperand(child) + (op == kOpIsNull ? " IS NULL" : " IS NOT NULL");
    }
    default:
      return "";
  }
}

bool SameConstant(const TABSVariant& a, const TABSVariant& b) {
  if (a.Type() != b.Type() || a.IsNull() != b.IsNull()) return false;
  if (a.IsNull()) return true;
  if (IsStringStorage(a.Type())) {
    return a.StringLength() == b.StringLength() &&
           std::memcmp(a.Data(), b.Data(), static_cast<size_t>(a.DataSize())) == 0;
  }
  return a.DataSize() == b.DataSize() &&
         std::memcmp(a.Data(), b.Data(), static_cast<size_t>(a.DataSize())) == 0;
}

bool SameNode(const TABSExprNode& a, const TABSExprNode& b) {
  if (a.kind() != b.kind() || a.Operator() != b.Operator() ||
      a.CaseInsensitive() != b.CaseInsensitive() || a.PartialKey() != b.PartialKey() ||
      a.ChildCount() != b.ChildCount()) {
    return false;
  }
  switch (a.kind()) {
    case Kind::kConst:
      return SameConstant(a.Value(), b.Value());
    case Kind::kField: {
      const auto& x = static_cast<const TABSExprNodeField&>(a);
      const auto& y = static_cast<const TABSExprNodeField&>(b);
      return x.TableName() == y.TableName() && x.FieldName() == y.FieldName();
    }
    case Kind::kComparison: {
      const auto& x = static_cast<const TABSExprNodeComparison&>(a);
      const auto& y = static_cast<const TABSExprNodeComparison&>(b);
      return x.StrictNulls() == y.StrictNulls() && x.EmptyKeySide() == y.EmptyKeySide();
    }
    case Kind::kAggregated:
      return static_cast<const TABSExprNodeAggregated&>(a).Distinct() ==
             static_cast<const TABSExprNodeAggregated&>(b).Distinct();
    case Kind::kCast: {
      const auto& x = static_cast<const TABSExprNodeCast&>(a);
      const auto& y = static_cast<const TABSExprNodeCast&>(b);
      return x.TargetType() == y.TargetType() && x.Size() == y.Size();
    }
    case Kind::kDateFunction:
      return static_cast<const TABSExprNodeDateFunction&>(a).Format() ==
             static_cast<const TABSExprNodeDateFunction&>(b).Format();
    case Kind::kSystem: {
      const auto& x = static_cast<const TABSExprNodeSystem&>(a);
      const auto& y = static_cast<const TABSExprNodeSystem&>(b);
      return x.TableName() == y.TableName() && x.FieldName() == y.FieldName() &&
             x.InMemory() == y.InMemory();
    }
    default:
      return true;
  }
}

}  // namespace

std::string ExpressionText(const TABSExprNode& node) { return Printer().Condition(node); }

bool SameTree(const TABSExprNode& a, const TABSExprNode& b) {
  // Pairs still to compare, so that deep trees need no deep recursion.
  std::vector<std::pair<const TABSExprNode*, const TABSExprNode*>> pending{{&a, &b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (!SameNode(*x, *y)) return false;
    for (size_t i = 0; i < x->ChildCount(); ++i) pending.emplace_back(x->Child(i), y->Child(i));
  }
  return true;
}

}  // namespace kelvorin
