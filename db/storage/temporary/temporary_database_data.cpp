#include "db/storage/temporary/temporary_database_data.h"

#include "db/storage/memory/memory_manager.h"
#include "db/storage/temporary/temporary_budget.h"

namespace kelvorin {

std::unique_ptr<TABSVolatileTableData> TABSTemporaryDatabaseData::NewTable(std::string name) {
  return std::make_unique<TABSTemporaryTableData>(*this, std::move(name));
}

TABSTemporaryTableData* TABSTemporaryDatabaseData::CreateTable(TABSCursor& cursor, const TABSFieldDefs& fields,
                                                               const TABSIndexDefs& indexes,
                                                               const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSTemporaryTableData*>(AddTable(cursor.TableName(), fields, indexes, constraints));
  table->AddCursor(cursor);
  return table;
}

void TABSTemporaryDatabaseData::CloseTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSVolatileTableData*>(cursor.Table());
  if (table == nullptr) return;
  table->RemoveCursor(cursor);
  if (table->Cursors().empty()) FreeTable(*table);
}

TABSTemporaryDatabaseData& TemporaryDatabase() {
  // What the database uses is made first, so that it outlives the database.
  MemoryManager();
  TemporaryBudget();
  static TABSTemporaryDatabaseData database;
  return database;
}

}  // namespace kelvorin
