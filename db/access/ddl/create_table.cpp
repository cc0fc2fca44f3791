#include "db/access/ddl/create_table.h"

#include <exception>

#include "db/access/ddl/ddl_definitions.h"
#include "db/access/ddl/ddl_errors.h"
#include "db/access/local/local_cursor.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {

void TABSDDLCreateTable::Parse() {
  NextToken();  // TABLE
  NextToken();
  if (AtEnd()) throw EABSException(native::kCreateTableBlank);
  ParseTableName();
  ParseItemList();
  if (!AtEnd()) FailFound(native::kCreateTableTrailing);
}

void TABSDDLCreateTable::Execute(bool /*open*/, bool* read_only, bool /*request_live*/) {
  *read_only = true;
  TABSLocalSession& session = TableSession();
  CheckNoTransaction(session, "CREATE TABLE");
  TABSTableMetadata definitions;
  try {
    for (int32_t i = 0; i < field_defs_.Count(); ++i) {
      auto field = std::make_unique<TABSFieldDef>();
      ApplyColumn(field_defs_.Items(i), *field, definitions.Constraints());
      definitions.Fields().Add(std::move(field));
    }
    AddDeclaredIndexes(indexes_, definitions);
  } catch (const EABSException&) {
    throw;
  } catch (const std::exception& failure) {
    throw EABSException(native::kCreateTableFailed, {failure.what()});
  }
  if (session.TableExists(table_name_)) throw EABSException(native::kCreateTableExists, {table_name_});
  try {
    TABSLocalCursor cursor(session, table_name_);
    cursor.CreateNewTable(definitions.Fields(), definitions.Indexes(), definitions.Constraints());
  } catch (const EABSException& failure) {
    // Created by another process since the test above.
    if (failure.NativeError() == native::kTableAlreadyExists30395.code) {
      throw EABSException(native::kCreateTableExists, {table_name_});
    }
    throw EABSException(native::kCreateTableFailed, {failure.what()});
  } catch (const std::exception& failure) {
    throw EABSException(native::kCreateTableFailed, {failure.what()});
  }
}

}  // namespace kelvorin
