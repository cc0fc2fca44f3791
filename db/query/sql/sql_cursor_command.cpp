#include "db/query/sql/sql_cursor_command.h"

#include <chrono>
#include <thread>

#include "db/access/local/local_cursor.h"
#include "db/query/expressions/expr_text.h"
#include "db/query/operators/ao_group_by.h"
#include "db/query/operators/ao_join.h"
#include "db/query/operators/ao_pass_through.h"
#include "db/query/operators/ao_union.h"
#include "db/query/sql/sql_errors.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

// A cursor over a statement's result table. The result lives in the
// statement's temporary session, which the cursor keeps alive: the holder
// is the first base, so it goes after the cursor has closed the table.
struct EnvHolder {
  std::shared_ptr<TABSAOEnv> env;
};

class TABSResultCursor : private EnvHolder, public TABSLocalCursor {
 public:
  TABSResultCursor(std::shared_ptr<TABSAOEnv> env, const std::string& table_name)
      : EnvHolder{std::move(env)}, TABSLocalCursor(this->env->TempSession(), table_name, Options()) {}

 private:
  static TABSCursorOptions Options() {
    TABSCursorOptions options;
    options.read_only = true;
    return options;
  }
};

std::string ColumnName(const TABSAO& op, int32_t column) {
  const TABSFieldLink& link = op.Columns()[static_cast<size_t>(column)];
  // An aliased table is named by its alias, as the statement names it.
  const std::string& qualifier = link.alias.empty() ? link.qualifier : link.alias;
  return qualifier.empty() ? link.name : qualifier + "." + (link.base_name.empty() ? link.name : link.base_name);
}

std::string OperatorKind(const TABSAO& op) {
  if (op.IsTable()) return "table " + op.TableName() + (op.Alias().empty() ? "" : " " + op.Alias());
  if (const auto* join = dynamic_cast<const TABSAOJoin*>(&op)) {
    static const char* const kTypes[] = {"cross", "inner", "left", "right", "full"};
    std::string text = std::string(kTypes[static_cast<int>(join->Type())]) + " join";
    if (join->KeyCount() == 0) return text + (join->Type() == TABSJoinType::kCross ? "" : ", nested loop");
    text += " merged on";
    for (int32_t i = 0; i < join->KeyCount(); ++i) {
      text += (i > 0 ? ", " : " ") + ColumnName(*join->Left(), join->LeftKeys()[static_cast<size_t>(i)]) + " = " +
              ColumnName(*join->Right(), join->RightKeys()[static_cast<size_t>(i)]);
    }
    return text;
  }
  if (dynamic_cast<const TABSAOUnion*>(&op) != nullptr) return "set operation";
  if (dynamic_cast<const TABSAOGroupBy*>(&op) != nullptr) return "group";
  if (dynamic_cast<const TABSAOTableExpr*>(&op) != nullptr) return "expressions";
  if (dynamic_cast<const TABSAOSQLTopRowCount*>(&op) != nullptr) return "top";
  return "operator";
}

void ExplainInto(const TABSAO& op, int depth, std::string* out) {
  out->append(static_cast<size_t>(depth) * 2, ' ');
  *out += OperatorKind(op);
  if (op.MaxRows() >= 0) *out += ", top " + std::to_string(op.MaxRows()) + " from " + std::to_string(op.FirstRow());
  if (op.Distinct()) *out += ", distinct";
  if (op.Condition() != nullptr && op.Condition()->RootNode() != nullptr) {
    *out += ", where " + ExpressionText(*op.Condition()->RootNode());
  }
  if (!op.SortColumns().empty()) {
    *out += ", sorted by a temporary index on";
    for (size_t i = 0; i < op.SortColumns().size(); ++i) {
      *out += (i > 0 ? ", " : " ") + ColumnName(op, op.SortColumns()[i]);
      if (i < op.SortDescending().size() && op.SortDescending()[i]) *out += " DESC";
    }
  }
  *out += '\n';
  if (op.Left() != nullptr) ExplainInto(*op.Left(), depth + 1, out);
  if (op.Right() != nullptr) ExplainInto(*op.Right(), depth + 1, out);
}

}  // namespace

std::string ExplainTree(const TABSAO& op) {
  std::string text;
  ExplainInto(op, 0, &text);
  return text;
}

TABSSQLCursorCommand::TABSSQLCursorCommand(TABSLexer& lexer, const TABSSQLQueryContext& context)
    : TABSSQLCommand(lexer, context) {}

TABSSQLCursorCommand::~TABSSQLCursorCommand() {
  // The tree goes before the session its results live in.
  ao_.reset();
}

void TABSSQLCursorCommand::CollectTables(TABSAO& op, std::vector<TABSAOTable*>* tables) {
  if (op.IsTable()) tables->push_back(static_cast<TABSAOTable*>(&op));
  if (op.Left() != nullptr) CollectTables(*op.Left(), tables);
  if (op.Right() != nullptr) CollectTables(*op.Right(), tables);
}

void TABSSQLCursorCommand::UnlockTables(const std::vector<TABSAOTable*>& tables, bool* failed) noexcept {
  for (TABSAOTable* table : tables) {
    try {
      table->Unlock();
    } catch (...) {
      *failed = true;
    }
  }
}

void TABSSQLCursorCommand::LockTables(const std::vector<TABSAOTable*>& tables) {
  const TABSSQLLockPolicy& policy = Context().lock_policy;
  for (int32_t attempt = 0; attempt < policy.attempts; ++attempt) {
    CheckCancelled(Context());
    bool all = true;
    for (TABSAOTable* table : tables) {
      if (!table->Lock(policy.sleep_ms, policy.tries)) {
        all = false;
        break;
      }
    }
    if (all) return;
    bool failed = false;
    UnlockTables(tables, &failed);
    if (failed) throw EABSException(native::kLockRetryUnlockFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(policy.pause_ms));
  }
  throw EABSException(native::kTableLocked);
}

TABSLocalSession& TABSSQLCursorCommand::IntoSession() const {
  const TABSSQLQueryContext& context = Context();
  std::string database = into_database_name_;
  if (database.empty() && (into_in_memory_ || context.in_memory)) database = "MEMORY";
  if (database.empty()) {
    if (context.session == nullptr) throw EABSException(native::kNilPointer10009);
    return *context.session;
  }
  if (!context.open_database) throw EABSException(native::kStatementNotAvailable, {database, 0, 0});
  return context.open_database(database);
}

void TABSSQLCursorCommand::CheckInto(TABSLocalSession& session) const {
  // Like creating a table, which a transaction cannot take back.
  if (session.InTransaction() || (Context().session != nullptr && Context().session->InTransaction())) {
    throw EABSException(native::kIntoInTransaction);
  }
  if (session.TableExists(into_table_name_)) throw EABSException(native::kIntoTableExists, {into_table_name_});
}

void TABSSQLCursorCommand::CopyResultInto(TABSLocalSession& session) {
  const TABSSQLQueryContext& context = Context();
  if (!context.copy_into) throw EABSException(native::kStatementNotAvailable, {"INTO", 0, 0});
  try {
    rows_affected_ = context.copy_into(session, into_table_name_, ao_->Result()->Cursor());
  } catch (const EABSException& error) {
    throw EABSException(native::kIntoImportFailed, {error.what()});
  }
}

void TABSSQLCursorCommand::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  rows_affected_ = 0;
  ao_.reset();
  TABSLocalSession* into_session = nullptr;
  if (!into_table_name_.empty()) {
    into_session = &IntoSession();
    CheckInto(*into_session);
  }
  env_ = std::make_shared<TABSAOEnv>();
  const TABSSQLQueryContext& context = Context();
  env_->on_step = [&context](std::string_view) { CheckCancelled(context); };
  ao_ = BuildAO(env_);
  explain_ = ExplainTree(*ao_);
  std::vector<TABSAOTable*> tables;
  CollectTables(*ao_, &tables);
  LockTables(tables);
  try {
    ao_->Execute(true);
  } catch (...) {
    // Execution frees children as it goes (their locks with them): only
    // the operators still in the tree hold locks.
    tables.clear();
    CollectTables(*ao_, &tables);
    bool failed = false;
    UnlockTables(tables, &failed);
    throw;
  }
  // Execution frees the children: only the top may still hold a lock.
  tables.clear();
  CollectTables(*ao_, &tables);
  bool failed = false;
  UnlockTables(tables, &failed);
  if (failed) throw EABSException(native::kUnlockAfterRunFailed);
  if (read_only != nullptr) *read_only = true;
  if (into_session != nullptr) {
    CopyResultInto(*into_session);
    ao_.reset();
  }
}

std::unique_ptr<TABSLocalCursor> TABSSQLCursorCommand::TakeResultCursor() {
  if (!into_table_name_.empty() || ao_ == nullptr || ao_->Result() == nullptr) return nullptr;
  auto cursor = std::make_unique<TABSResultCursor>(env_, ao_->Result()->Name());
  cursor->Open();
  if (!ao_->Result()->IndexName().empty()) cursor->SwitchIndex(ao_->Result()->IndexName());
  return cursor;
}

}  // namespace kelvorin
