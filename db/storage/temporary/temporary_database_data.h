// TABSTemporaryDatabaseData: the process's "TEMP" database of temporary
// tables, which hold the results of SQL statements. A temporary table is
// created for one cursor and freed when its last cursor closes (or with
// the database at the end of the process): its records and BLOB values
// emptied, its indexes dropped, its pages committed and its files closed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/storage/temporary/temporary_table_data.h"
#include "db/storage/temporary/volatile_database_data.h"

namespace kelvorin {

class TABSTemporaryDatabaseData : public TABSVolatileDatabaseData {
 public:
  static constexpr std::string_view kName = "TEMP";

  TABSTemporaryDatabaseData() : TABSVolatileDatabaseData(std::string(kName)) {}

  // Creates the table the cursor names from its definitions and opens it
  // for the cursor.
  TABSTemporaryTableData* CreateTable(TABSCursor& cursor, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                      const TABSConstraintDefs& constraints);
  // The last cursor frees the table; the table leaves the list even when
  // freeing it raises.
  void CloseTable(TABSCursor& cursor) override;

 protected:
  std::unique_ptr<TABSVolatileTableData> NewTable(std::string name) override;
};

// The process's "TEMP" database.
TABSTemporaryDatabaseData& TemporaryDatabase();

}  // namespace kelvorin
