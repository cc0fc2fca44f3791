// Turns a parsed query expression into a tree of relational operators:
// FROM into table operators and joins, the conditions pushed down to where
// they can be evaluated, grouping, TOP, the select list, DISTINCT and the
// order; set operations combine the trees of their operands.
#pragma once

#include <initializer_list>
#include <memory>
#include <vector>

#include "db/query/operators/ao.h"
#include "db/query/sql/query_expression.h"
#include "db/query/sql/sql_command.h"

namespace kelvorin {

class TABSSelectBuilder {
 public:
  TABSSelectBuilder(std::shared_ptr<TABSAOEnv> env, const TABSSQLQueryContext& context)
      : env_(std::move(env)), context_(context) {}

  // Builds a node of a query expression; `order_by` (may be empty) orders
  // the node's result.
  std::unique_ptr<TABSAO> Build(TABSQueryExprNode& node, std::vector<TABSSortSpecification>& order_by);
  // Builds one SELECT with its own ORDER BY.
  std::unique_ptr<TABSAO> BuildSelect(TABSSQLSelect& select);

 private:
  std::unique_ptr<TABSAO> BuildSetOperation(TABSQueryExprNode& node);
  std::unique_ptr<TABSAO> BuildFrom(TABSSQLSelect& select);
  std::unique_ptr<TABSAO> BuildReference(TABSTableReference& reference, TABSExpression* where);
  std::unique_ptr<TABSAO> BuildTable(TABSTableReference& reference);
  std::unique_ptr<TABSAO> BuildJoin(TABSTableReference& reference, TABSExpression* where);
  // A column name of WHERE, HAVING or ON that equals the alias of a plain
  // column item means that item's column, unless a FROM column has the name.
  void ResolveAliases(TABSSQLSelect& select, const TABSAO& from);
  // The aliases of the plain column items that name no column of `sides`.
  std::vector<TABSSelectAlias> ColumnAliases(std::initializer_list<const TABSAO*> sides) const;
  // Puts the expressions that GROUP BY names by their alias below the
  // grouping operator.
  std::unique_ptr<TABSAO> ComputeGroupedExpressions(TABSSQLSelect& select, std::unique_ptr<TABSAO> from);
  static void ApplyOrder(TABSAO& top, std::vector<TABSSortSpecification>& order_by);

  std::shared_ptr<TABSAOEnv> env_;
  const TABSSQLQueryContext& context_;
  // The select list of the SELECT being built (none for *).
  const std::vector<TABSSelectListItem>* select_list_ = nullptr;
};

}  // namespace kelvorin
