#include "db/query/dml/data_statements.h"

#include <mutex>

#include "db/query/dml/sql_insert.h"
#include "db/query/dml/sql_transaction.h"
#include "db/query/dml/sql_update.h"
#include "db/query/sql/sql_processor.h"

namespace kelvorin {

void RegisterDataStatements() {
  static std::once_flag once;
  std::call_once(once, [] {
    TABSSQLProcessor::RegisterStatementClass<TABSSQLInsert>(TABSStatementKind::kInsert);
    TABSSQLProcessor::RegisterStatementClass<TABSSQLUpdate>(TABSStatementKind::kUpdate);
    TABSSQLProcessor::RegisterStatementClass<TABSSQLDelete>(TABSStatementKind::kDelete);
    TABSSQLProcessor::RegisterStatementClass<TABSSQLStartTransaction>(TABSStatementKind::kStartTransaction);
    TABSSQLProcessor::RegisterStatementClass<TABSSQLCommit>(TABSStatementKind::kCommit);
    TABSSQLProcessor::RegisterStatementClass<TABSSQLRollback>(TABSStatementKind::kRollback);
  });
}

}  // namespace kelvorin
