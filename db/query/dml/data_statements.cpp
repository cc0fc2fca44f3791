#include "db/query/dml/data_statements.h"

#include <mutex>

#include "db/query/dml/sql_insert.h"
#include "db/query/dml/sql_transaction.h"
#include "db/query/dml/sql_update.h"
#include "db/query/sql/sql_processor.h"

namespace kelvorin {
namespace {

template <typename Statement>
void Register(TABSStatementKind kind) {
  TABSSQLProcessor::RegisterStatement(kind, [](TABSLexer& lexer, const TABSSQLQueryContext& context) {
    return std::unique_ptr<TABSSQLCommand>(std::make_unique<Statement>(lexer, context));
  });
}

}  // namespace

void RegisterDataStatements() {
  static std::once_flag once;
  std::call_once(once, [] {
    Register<TABSSQLInsert>(TABSStatementKind::kInsert);
    Register<TABSSQLUpdate>(TABSStatementKind::kUpdate);
    Register<TABSSQLDelete>(TABSStatementKind::kDelete);
    Register<TABSSQLStartTransaction>(TABSStatementKind::kStartTransaction);
    Register<TABSSQLCommit>(TABSStatementKind::kCommit);
    Register<TABSSQLRollback>(TABSStatementKind::kRollback);
  });
}

}  // namespace kelvorin
