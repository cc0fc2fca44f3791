// Expression trees as text and their structural equality. The text is in
// the dialect the expression parser reads, written so that parsing it gives
// the same tree again (conditions and composite operands in parentheses).
// Used by the tool and the tests, and for messages about whole expressions.
#pragma once

#include <string>

#include "db/query/expressions/expr_node.h"

namespace kelvorin {

// A condition (comparison, boolean node or LOGICAL constant) or a value.
std::string ExpressionText(const TABSExprNode& node);

// Same node kinds, operators, flags, constants (type and bytes), names,
// sizes and formats, all the way down.
bool SameTree(const TABSExprNode& a, const TABSExprNode& b);

}  // namespace kelvorin
