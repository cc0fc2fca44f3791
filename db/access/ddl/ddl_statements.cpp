#include "db/access/ddl/ddl_statements.h"

#include <mutex>

#include "db/access/ddl/alter_table.h"
#include "db/access/ddl/create_table.h"
#include "db/access/ddl/drop_table.h"
#include "db/access/ddl/index_statements.h"
#include "db/query/sql/sql_processor.h"

namespace kelvorin {

void RegisterDDLStatements() {
  static std::once_flag once;
  std::call_once(once, [] {
    TABSSQLProcessor::RegisterStatementClass<TABSDDLCreateTable>(TABSStatementKind::kCreateTable);
    TABSSQLProcessor::RegisterStatementClass<TABSDDLDropTable>(TABSStatementKind::kDropTable);
    TABSSQLProcessor::RegisterStatementClass<TABSDDLAlterTable>(TABSStatementKind::kAlterTable);
    TABSSQLProcessor::RegisterStatementClass<TABSDDLRenameTable>(TABSStatementKind::kRenameTable);
    TABSSQLProcessor::RegisterStatementClass<TABSDDLCreateIndex>(TABSStatementKind::kCreateIndex);
    TABSSQLProcessor::RegisterStatementClass<TABSDDLDropIndex>(TABSStatementKind::kDropIndex);
  });
}

}  // namespace kelvorin
