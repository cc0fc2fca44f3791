#include "db/access/ddl/ddl_statements.h"

#include <memory>
#include <mutex>

#include "db/access/ddl/alter_table.h"
#include "db/access/ddl/create_table.h"
#include "db/access/ddl/drop_table.h"
#include "db/access/ddl/index_statements.h"
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

void RegisterDDLStatements() {
  static std::once_flag once;
  std::call_once(once, [] {
    Register<TABSDDLCreateTable>(TABSStatementKind::kCreateTable);
    Register<TABSDDLDropTable>(TABSStatementKind::kDropTable);
    Register<TABSDDLAlterTable>(TABSStatementKind::kAlterTable);
    Register<TABSDDLRenameTable>(TABSStatementKind::kRenameTable);
    Register<TABSDDLCreateIndex>(TABSStatementKind::kCreateIndex);
    Register<TABSDDLDropIndex>(TABSStatementKind::kDropIndex);
  });
}

}  // namespace kelvorin
