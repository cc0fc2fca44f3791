// The tree of a query expression: SELECTs combined by UNION, EXCEPT (or
// MINUS) and INTERSECT, which binds tighter; operands nest to the left.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/query/sql/sql_select.h"

namespace kelvorin {

enum class TABSSetOperation : uint8_t { kNone = 0, kUnion = 1, kExcept = 2, kIntersect = 3 };

struct TABSQueryExprNode {
  TABSSetOperation set_operation = TABSSetOperation::kNone;
  std::unique_ptr<TABSQueryExprNode> left;
  std::unique_ptr<TABSQueryExprNode> right;
  bool all = false;
  bool corresponding = false;
  // The names of CORRESPONDING BY (empty without BY).
  std::vector<std::string> corresponding_fields;
  // The leaf's SELECT.
  std::unique_ptr<TABSSQLSelect> select;
  // How many parentheses enclose a leaf within the whole expression.
  int32_t depth = 0;

  // Reads a query expression from the current token.
  static std::unique_ptr<TABSQueryExprNode> Parse(TABSSQLTokens& tokens, bool in_memory, int32_t depth = 0);

  // The rightmost SELECT.
  TABSQueryExprNode& LastLeaf();
  // Calls `visit` for every leaf, left to right.
  template <typename Visit>
  void ForEachLeaf(Visit&& visit) {
    if (set_operation == TABSSetOperation::kNone) {
      visit(*this);
      return;
    }
    left->ForEachLeaf(visit);
    right->ForEachLeaf(visit);
  }

 private:
  static std::unique_ptr<TABSQueryExprNode> ParseTerm(TABSSQLTokens& tokens, bool in_memory, int32_t depth);
  static std::unique_ptr<TABSQueryExprNode> ParsePrimary(TABSSQLTokens& tokens, bool in_memory, int32_t depth);
  // ALL and the correspondence clause after a set operator.
  static void ParseOptions(TABSSQLTokens& tokens, TABSQueryExprNode& node);
};

}  // namespace kelvorin
