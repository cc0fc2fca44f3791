#include "db/storage/temporary/memory_database_data.h"

#include "db/storage/errors/abs_exception.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/temporary/temporary_budget.h"
#include "db/storage/temporary/temporary_errors.h"
#include "db/tables/records/table_data_errors.h"

namespace kelvorin {

std::unique_ptr<TABSVolatileTableData> TABSMemoryDatabaseData::NewTable(std::string name) {
  return std::make_unique<TABSMemoryTableData>(*this, std::move(name));
}

TABSMemoryTableData* TABSMemoryDatabaseData::CreateTable(std::string_view name, const TABSFieldDefs& fields,
                                                         const TABSIndexDefs& indexes,
                                                         const TABSConstraintDefs& constraints) {
  return static_cast<TABSMemoryTableData*>(AddTable(name, fields, indexes, constraints));
}

TABSVolatileTableData& TABSMemoryDatabaseData::ClosedTable(std::string_view name, const TABSNativeError& open) {
  TABSVolatileTableData* table = FindTable(name);
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {name});
  if (!table->Cursors().empty()) throw EABSException(open, {table->Name()});
  return *table;
}

void TABSMemoryDatabaseData::DeleteTable(std::string_view name) {
  std::lock_guard lock(CriticalSection());
  FreeTable(ClosedTable(name, native::kDeleteOpenTable));
}

void TABSMemoryDatabaseData::RenameTable(std::string_view old_name, std::string_view new_name) {
  std::lock_guard lock(CriticalSection());
  TABSVolatileTableData& table = ClosedTable(old_name, native::kRenameOpenTable);
  if (new_name.empty() || new_name.size() > kMaxObjectNameLength) {
    throw EABSException(native::kInvalidVolatileTableName, {new_name});
  }
  const TABSVolatileTableData* other = FindTable(new_name);
  if (other != nullptr && other != &table) throw EABSException(native::kTableAlreadyExists30395, {new_name});
  table.Rename(std::string(new_name));
}

TABSMemoryDatabaseData& MemoryDatabase() {
  // What the database uses is made first, so that it outlives the database.
  MemoryManager();
  TemporaryBudget();
  static TABSMemoryDatabaseData database;
  return database;
}

}  // namespace kelvorin
