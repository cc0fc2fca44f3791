#include "db/query/sql/sql_union.h"

#include "db/access/local/local_cursor.h"
#include "db/query/expressions/expr_text.h"
#include "db/query/sql/select_builder.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/temporary_indexes.h"
#include "db/tables/metadata/meta_object_def.h"
#include "db/tables/records/table_data.h"

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

// What a live result shows of its table and in which order.
struct LiveLayout {
  std::vector<TABSLocalCursor::ShownField> shown;
  std::vector<std::string> order_fields;
  std::vector<std::string> order_directions;
  std::vector<TABSSelectAlias> aliases;
};

bool NamesTable(const std::string& qualifier, const TABSTableReference& table) {
  return qualifier.empty() || SameObjectName(qualifier, table.QualifierName()) ||
         SameObjectName(qualifier, table.table_name);
}

// The layout of a live result over `fields`; false when the select list or
// the order cannot be shown by the table itself (a name it lacks, two
// columns under one name), and the statement then runs as any other.
bool MakeLiveLayout(const TABSSQLSelect& select, const TABSTableReference& table, const TABSFieldDefs& fields,
                    LiveLayout* layout) {
  if (select.select_all) {
    for (int32_t i = 0; i < fields.Count(); ++i) layout->shown.push_back({i, fields.Items(i)->Name()});
  } else {
    for (const TABSSelectListItem& item : select.select_list) {
      if (!NamesTable(item.table_name, table)) return false;
      const int32_t no = fields.IndexOfName(item.field_name);
      if (no < 0) return false;
      const std::string name = item.alias.empty() ? fields.Items(no)->Name() : item.alias;
      for (const auto& shown : layout->shown) {
        if (SameObjectName(shown.name, name)) return false;
      }
      layout->shown.push_back({no, name});
      if (!item.alias.empty() && fields.IndexOfName(item.alias) < 0) {
        layout->aliases.push_back({item.alias, true, item.table_name, item.field_name});
      }
    }
  }
  for (const TABSSortSpecification& sort : select.order_by) {
    int32_t no = -1;
    if (sort.is_position) {
      if (sort.position < 1 || sort.position > static_cast<int64_t>(layout->shown.size())) return false;
      no = layout->shown[static_cast<size_t>(sort.position - 1)].field_no;
    } else {
      if (!NamesTable(sort.table_name, table)) return false;
      // A result column's name first, then the table's field.
      for (const auto& shown : layout->shown) {
        if (sort.table_name.empty() && SameObjectName(shown.name, sort.field_name)) no = shown.field_no;
      }
      if (no < 0) no = fields.IndexOfName(sort.field_name);
      if (no < 0) return false;
    }
    layout->order_fields.push_back(fields.Items(no)->Name());
    layout->order_directions.push_back(sort.descending ? "DESC" : "ASC");
  }
  return true;
}

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
  for (const TABSSelectListItem& item : select.select_list) {
    if (item.is_expression || item.all_fields) return false;
  }
  return !select.distinct && select.top_count < 0 && select.group_by.empty() && select.having == nullptr &&
         select.table_references.size() == 1 &&
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
  TABSSQLSelect& select = *root_->select;
  LiveLayout layout;
  if (!MakeLiveLayout(select, table, cursor->OpenTable().Metadata().Fields(), &layout)) {
    cursor.reset();
    TABSSQLCursorCommand::Execute(open, read_only, request_live);
    return;
  }
  if (!select.select_all) cursor->SetShownFields(std::move(layout.shown));
  TABSExpression* where = select.where.get();
  if (where != nullptr && !where->IsEmpty()) {
    if (!layout.aliases.empty()) where->ResolveAliases(layout.aliases);
    cursor->Restrict(ExpressionText(*where->RootNode()));
  }
  if (!layout.order_fields.empty()) {
    const std::vector<std::string> cases(layout.order_fields.size(), "CASE");
    const TABSIndexDef* index = IndexForOrdering(cursor->OpenTable(), cursor->SessionNumber(), layout.order_fields,
                                                 layout.order_directions, cases);
    cursor->SwitchIndex(index->Name());
  }
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
