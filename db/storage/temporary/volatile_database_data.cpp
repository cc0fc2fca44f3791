#include "db/storage/temporary/volatile_database_data.h"

#include <exception>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/temporary/temporary_errors.h"
#include "db/tables/btree/record_index.h"
#include "db/tables/metadata/meta_object_def.h"

namespace kelvorin {

TABSVolatileDatabaseData::~TABSVolatileDatabaseData() { DropTableObjects(); }

void TABSVolatileDatabaseData::ConnectSession(TABSBaseSession& session) {
  std::lock_guard lock(CriticalSection());
  const int32_t number = session.SessionNumber();
  TABSDatabaseData::ConnectSession(session);
  if (number >= 0) session.SetSessionNumber(number);
}

TABSTableData* TABSVolatileDatabaseData::CreateTableObject(TABSCursor& cursor) {
  throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
}

int32_t TABSVolatileDatabaseData::NextObjectNumber() {
  std::lock_guard lock(CriticalSection());
  return ++object_number_;
}

void TABSVolatileDatabaseData::StartTransaction(int32_t) {}

void TABSVolatileDatabaseData::CommitTransaction(int32_t session, bool) {
  std::lock_guard lock(CriticalSection());
  for (const auto& table : Tables()) static_cast<TABSVolatileTableData&>(*table).CommitOperation(session);
}

void TABSVolatileDatabaseData::RollbackTransaction(int32_t session) {
  std::lock_guard lock(CriticalSection());
  std::exception_ptr error;
  for (const auto& table : Tables()) {
    try {
      static_cast<TABSVolatileTableData&>(*table).RollbackOperation(session);
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  }
  if (error) std::rethrow_exception(error);
}

void TABSVolatileDatabaseData::HoldOperations(int32_t session) { TABSDatabaseData::StartTransaction(session); }

void TABSVolatileDatabaseData::KeepHeldOperations(int32_t session) {
  std::lock_guard lock(CriticalSection());
  CommitTransaction(session, false);
  EndTransaction(session);
}

void TABSVolatileDatabaseData::UndoHeldOperations(int32_t session) {
  std::lock_guard lock(CriticalSection());
  struct End {
    TABSVolatileDatabaseData* database;
    int32_t session;
    ~End() { database->EndTransaction(session); }
  } end{this, session};
  RollbackTransaction(session);
}

TABSVolatileTableData* TABSVolatileDatabaseData::FindTable(std::string_view name) {
  return static_cast<TABSVolatileTableData*>(FindTableObject(name));
}

TABSVolatileTableData* TABSVolatileDatabaseData::AddTable(std::string_view name, const TABSFieldDefs& fields,
                                                          const TABSIndexDefs& indexes,
                                                          const TABSConstraintDefs& constraints) {
  std::lock_guard lock(CriticalSection());
  if (name.empty() || name.size() > kMaxObjectNameLength) {
    throw EABSException(native::kInvalidVolatileTableName, {name});
  }
  if (fields.Count() == 0) throw EABSException(native::kNoFieldsSpecified20128);
  if (FindTable(name) != nullptr) throw EABSException(native::kTableAlreadyExists30395, {name});
  std::unique_ptr<TABSVolatileTableData> table = NewTable(std::string(name));
  table->CreateStorage(kSystemSessionId, fields, indexes, constraints);
  return static_cast<TABSVolatileTableData*>(AddTableObject(std::move(table)));
}

void TABSVolatileDatabaseData::FreeTable(TABSVolatileTableData& table) {
  std::lock_guard lock(CriticalSection());
  try {
    table.Free();
  } catch (...) {
    DropTableObject(&table);
    throw;
  }
  DropTableObject(&table);
}

TABSVolatileTableData* TABSVolatileDatabaseData::OpenTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  TABSVolatileTableData* table = FindTable(cursor.TableName());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  table->AddCursor(cursor);
  return table;
}

void TABSVolatileDatabaseData::CloseTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  if (TABSTableData* table = cursor.Table()) table->RemoveCursor(cursor);
}

template <typename Operation>
auto TABSVolatileDatabaseData::RunOperation(TABSVolatileTableData& table, int32_t session, Operation operation) {
  try {
    auto result = operation();
    table.CommitOperation(session);
    return result;
  } catch (...) {
    try {
      table.RollbackOperation(session);
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
}

void TABSVolatileDatabaseData::EmptyTable(TABSCursor& cursor) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSVolatileTableData*>(cursor.Table());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  const int32_t session = cursor.SessionNumber();
  RunOperation(*table, session, [&] {
    table->EmptyTable(session);
    return true;
  });
}

TABSIndexDef* TABSVolatileDatabaseData::AddIndex(TABSCursor& cursor, std::unique_ptr<TABSIndexDef> index) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSVolatileTableData*>(cursor.Table());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  const int32_t session = cursor.SessionNumber();
  return RunOperation(*table, session, [&] { return table->AddIndex(session, std::move(index)); });
}

void TABSVolatileDatabaseData::DeleteIndex(TABSCursor& cursor, int32_t index_object_id) {
  DeleteIndexes(cursor, {index_object_id});
}

void TABSVolatileDatabaseData::DeleteIndexes(TABSCursor& cursor, const std::vector<int32_t>& index_object_ids) {
  std::lock_guard lock(CriticalSection());
  auto* table = static_cast<TABSVolatileTableData*>(cursor.Table());
  if (table == nullptr) throw EABSException(native::kTableNotExists30396, {cursor.TableName()});
  const int32_t session = cursor.SessionNumber();
  TABSBaseIndexManager& indexes = table->IndexManager();
  RunOperation(*table, session, [&] {
    // The trees go first: a failure there leaves the definitions in place
    // for the rolled back pages.
    for (const int32_t index_object_id : index_object_ids) {
      for (int32_t i = 0; i < indexes.Count(); ++i) {
        const TABSIndexDef& definition = indexes.Definition(i);
        if (definition.ObjectId() != index_object_id) continue;
        if (!definition.Temporary() && definition.RootPage() >= 0) indexes.Index(i).Drop(session);
      }
    }
    for (const int32_t index_object_id : index_object_ids) table->ForgetIndex(index_object_id);
    return true;
  });
}

}  // namespace kelvorin
