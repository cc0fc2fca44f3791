#include "db/query/sql/sql_union.h"

#include "db/access/local/local_cursor.h"
#include "db/query/expressions/expr_text.h"
#include "db/query/sql/select_builder.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

// The live result: the table's own cursor, its rows restricted by the
// statement's condition (which the dataset's filter leaves alone).
class TABSLiveCursor : public TABSLocalCursor {
 public:
  TABSLiveCursor(TABSLocalSession& session, const std::string& table_name) : TABSLocalCursor(session, table_name) {}
  ~TABSLiveCursor() override { SetSecondExpression(nullptr); }

  // After Open.
  void Restrict(const std::string& condition_text) {
    condition_ = std::make_unique<TABSExpression>();
    condition_->ParseForFilter(this, condition_text, false, true);
    SetSecondExpression(condition_.get());
  }

 private:
  std::unique_ptr<TABSExpression> condition_;
};

}  // namespace

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

bool TABSSQLUnion::CanBeLive() const {
  if (root_->set_operation != TABSSetOperation::kNone || !into_table_name_.empty()) return false;
  const TABSSQLSelect& select = *root_->select;
  return select.select_all && !select.distinct && select.top_count < 0 && select.group_by.empty() &&
         select.having == nullptr && select.order_by.empty() && select.table_references.size() == 1 &&
         select.table_references[0]->kind == TABSTableReference::Kind::kTable;
}

void TABSSQLUnion::Execute(bool open, bool* read_only, bool request_live) {
  live_.reset();
  if (!(open && request_live && CanBeLive())) {
    TABSSQLCursorCommand::Execute(open, read_only, request_live);
    return;
  }
  rows_affected_ = 0;
  const TABSSQLQueryContext& context = Context();
  const TABSTableReference& table = *root_->select->table_references[0];
  std::string database = table.database_name;
  if (table.in_memory && database.empty()) database = "MEMORY";
  TABSLocalSession* session = context.session;
  if (!database.empty()) {
    if (!context.open_database) throw EABSException(native::kStatementNotAvailable, {database, 0, 0});
    session = &context.open_database(database);
  }
  if (session == nullptr) throw EABSException(native::kNilPointer10009);
  auto cursor = std::make_unique<TABSLiveCursor>(*session, table.table_name);
  cursor->Open();
  const TABSExpression* where = root_->select->where.get();
  if (where != nullptr && !where->IsEmpty()) cursor->Restrict(ExpressionText(*where->RootNode()));
  live_ = std::move(cursor);
  if (read_only != nullptr) *read_only = false;
}

std::unique_ptr<TABSLocalCursor> TABSSQLUnion::TakeResultCursor() {
  if (live_ != nullptr) return std::move(live_);
  return TABSSQLCursorCommand::TakeResultCursor();
}

std::unique_ptr<TABSAO> TABSSQLUnion::BuildAO(const std::shared_ptr<TABSAOEnv>& env) {
  TABSSelectBuilder builder(env, Context());
  return builder.Build(*root_, order_by_);
}

}  // namespace kelvorin
