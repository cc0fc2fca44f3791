// TABSMemoryDatabaseData: the process's "MEMORY" database of in-memory
// tables (datasets opened with their in-memory option). A table lives
// until it is deleted or the process ends; closing its last cursor drops
// only its temporary indexes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/storage/errors/native_errors.h"
#include "db/storage/temporary/memory_table_data.h"
#include "db/storage/temporary/volatile_database_data.h"

namespace kelvorin {

class TABSMemoryDatabaseData : public TABSVolatileDatabaseData {
 public:
  static constexpr std::string_view kName = "MEMORY";

  TABSMemoryDatabaseData() : TABSVolatileDatabaseData(std::string(kName)) {}

  // Creates an empty table from its definitions; a name that is taken
  // raises "Cannot create table. Table '%s' already exists".
  TABSMemoryTableData* CreateTable(std::string_view name, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                   const TABSConstraintDefs& constraints);
  // Refused while a cursor has the table open.
  void DeleteTable(std::string_view name);
  void RenameTable(std::string_view old_name, std::string_view new_name);

 protected:
  std::unique_ptr<TABSVolatileTableData> NewTable(std::string name) override;

 private:
  TABSVolatileTableData& ClosedTable(std::string_view name, const TABSNativeError& open);
};

// The process's "MEMORY" database.
TABSMemoryDatabaseData& MemoryDatabase();

}  // namespace kelvorin
