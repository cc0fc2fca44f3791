#include "db/query/sql/sql_union.h"

#include "db/query/sql/select_builder.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

TABSSQLUnion::TABSSQLUnion(TABSLexer& lexer, const TABSSQLQueryContext& context)
    : TABSSQLCursorCommand(lexer, context) {}

TABSSQLUnion::~TABSSQLUnion() = default;

void TABSSQLUnion::Parse() {
  root_ = TABSQueryExprNode::Parse(*this, Context().in_memory);
  ExpectEnd();
  CheckOperands();
}

void TABSSQLUnion::CheckOperands() {
  if (root_->set_operation == TABSSetOperation::kNone) {
    TABSSQLSelect& select = *root_->select;
    into_table_name_ = select.into_table_name;
    into_database_name_ = select.into_database_name;
    into_in_memory_ = select.into_in_memory;
    return;
  }
  TABSQueryExprNode* last = &root_->LastLeaf();
  root_->ForEachLeaf([&](TABSQueryExprNode& leaf) {
    TABSSQLSelect& select = *leaf.select;
    if (select.into_token.line_num != 0) FailAt(native::kIntoInOperand, select.into_token);
    if (select.order_by.empty()) return;
    if (&leaf != last || leaf.depth != 0) FailAt(native::kOrderByInOperand, select.order_by_token);
    order_by_ = std::move(select.order_by);
    select.order_by.clear();
  });
}

std::unique_ptr<TABSAO> TABSSQLUnion::BuildAO(const std::shared_ptr<TABSAOEnv>& env) {
  TABSSelectBuilder builder(env, Context());
  return builder.Build(*root_, order_by_);
}

}  // namespace kelvorin
