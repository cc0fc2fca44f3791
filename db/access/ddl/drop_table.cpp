#include "db/access/ddl/drop_table.h"

#include <exception>

#include "db/access/ddl/ddl_errors.h"
#include "db/access/local/access_errors.h"
#include "db/access/local/local_cursor.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void TABSDDLDropTable::Parse() {
  NextToken();  // TABLE
  NextToken();
  if (AtEnd()) throw EABSException(native::kDropTableBlank);
  ParseTableName();
  if (!AtEnd()) FailFound(native::kDropTableTrailing);
}

void TABSDDLDropTable::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  *read_only = true;
  TABSLocalSession& session = TableSession();
  CheckNoTransaction(session, "DROP TABLE");
  try {
    if (!session.TableExists(table_name_)) return;
    TABSLocalCursor cursor(session, table_name_);
    cursor.DeleteTable();
  } catch (const EABSException& failure) {
    // Dropped by another process since the test above.
    if (failure.NativeError() == native::kDeleteTableNotFound.code ||
        failure.NativeError() == native::kTableNotExists30405.code) {
      return;
    }
    throw EABSException(native::kDropTableFailed, {failure.what()});
  } catch (const std::exception& failure) {
    throw EABSException(native::kDropTableFailed, {failure.what()});
  }
}

}  // namespace kelvorin
