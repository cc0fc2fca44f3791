// TABSVolatileDatabaseData: what the process's "TEMP" and "MEMORY"
// databases share: the list of their tables (in memory only), an object
// number counter that starts at 0, and operations that are final when they
// end. Their tables are not transactional: a session's explicit
// transaction does not reach them, every operation commits its own pages,
// and one that fails is undone whole (volatile_table_data.h).
//
// A session keeps the session number its own database gave it; page
// changes of these tables are kept per session number like on disk.
//
// Every operation runs inside the object's critical section.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/storage/temporary/volatile_table_data.h"
#include "db/tables/records/database_data.h"

namespace kelvorin {

class TABSVolatileDatabaseData : public TABSDatabaseData {
 public:
  explicit TABSVolatileDatabaseData(std::string name) : TABSDatabaseData(std::move(name)) {}
  // Frees every table without raising.
  ~TABSVolatileDatabaseData() override;

  void ConnectSession(TABSBaseSession& session) override;
  // The database lives as long as the process.
  bool ReleaseIfUnused() override { return false; }
  // Tables are made by CreateTable with their definitions; a cursor names
  // one that exists: raises "Table '%s' not exists." otherwise.
  TABSTableData* CreateTableObject(TABSCursor& cursor) override;
  int32_t NextObjectNumber() override;
  // Nothing to start: these tables keep every operation when it ends.
  void StartTransaction(int32_t session) override;
  // Commits every table's pages of the session and keeps its changes.
  void CommitTransaction(int32_t session, bool flush) override;
  // Rolls back what an unfinished operation of the session left (a
  // finished one is kept).
  void RollbackTransaction(int32_t session) override;

  // A statement that must change several records whole or not at all holds
  // the session's operations open: until it keeps or undoes them, posts
  // of the session are not final (they run as in a transaction).
  void HoldOperations(int32_t session);
  bool HoldsOperations(int32_t session) const { return InTransaction(session); }
  // Makes every held operation final.
  void KeepHeldOperations(int32_t session);
  // Takes every held operation back; the hold ends whatever happens.
  void UndoHeldOperations(int32_t session);

  // Opens the cursor's table.
  TABSVolatileTableData* OpenTable(TABSCursor& cursor);
  // Closes the cursor's table; what happens with a table whose last cursor
  // closes depends on the database.
  virtual void CloseTable(TABSCursor& cursor);
  // Empties the cursor's table (whole or not at all).
  void EmptyTable(TABSCursor& cursor);
  // Adds an index to the cursor's table and builds it (whole or not at all).
  TABSIndexDef* AddIndex(TABSCursor& cursor, std::unique_ptr<TABSIndexDef> index);
  // Drops an index of the cursor's table: its tree, its definition and the
  // constraint it carries (whole or not at all).
  void DeleteIndex(TABSCursor& cursor, int32_t index_object_id);
  // Drops several indexes of the cursor's table as one operation.
  void DeleteIndexes(TABSCursor& cursor, const std::vector<int32_t>& index_object_ids);

  TABSVolatileTableData* FindTable(std::string_view name);

 protected:
  virtual std::unique_ptr<TABSVolatileTableData> NewTable(std::string name) = 0;
  // Makes a table from its definitions and adds it to the list; refuses a
  // name that is invalid or taken.
  TABSVolatileTableData* AddTable(std::string_view name, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                  const TABSConstraintDefs& constraints);
  // Frees the table (see TABSVolatileTableData::Free) and takes it out of
  // the list, also when freeing raises.
  void FreeTable(TABSVolatileTableData& table);
  // Runs one operation on a table: committed when it succeeds, rolled back
  // (and raised again) when it fails.
  template <typename Operation>
  auto RunOperation(TABSVolatileTableData& table, int32_t session, Operation operation);

 private:
  int32_t object_number_ = 0;
};

}  // namespace kelvorin
