// TABSDiskDatabaseData: a database file open in the process, shared by every
// session that uses it. It owns the disk page manager, the system directory,
// the sessions file and the table list, connects and disconnects sessions,
// opens and closes table objects, commits and rolls back sessions, and runs
// the catalogue's changes: create, delete, rename and empty a table.
//
// Catalogue changes are all or nothing. They run in the system session under
// the table-list lock and are committed at once; the table list in memory
// changes only after its commit succeeded, and any failure rolls the system
// session back, so memory, files and pages stay as they were. With other
// writers possible (multi-user or read-only use) the list is reread under
// the lock before every lookup and change.
//
// In multi-user mode every session holds a connection slot and the table
// lock manager keeps its table and record locks; in single-user mode the
// first session locks every slot (or, when another process holds one, the
// process may only read) and every lock request is granted without
// touching the file. A process that opened the file read-only takes no
// single-user lock and only ever holds read locks.
//
// Every operation runs inside the object's critical section.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/storage/catalog/disk_table_data.h"
#include "db/storage/locks/sessions_file.h"
#include "db/storage/catalog/system_directory.h"
#include "db/storage/catalog/table_list_file.h"
#include "db/storage/locks/lock_manager.h"
#include "db/storage/pages/disk_page_manager.h"
#include "db/tables/records/database_data.h"

namespace kelvorin {

struct TABSDatabaseFileSettings {
  static constexpr int32_t kDefaultMaxConnections = 500;

  int32_t max_connections = kDefaultMaxConnections;
  int32_t page_size = 4096;
  int32_t pages_per_extent = 8;
};

class TABSDiskDatabaseData : public TABSDatabaseData {
 public:
  // Creates a database file with its catalogue: the system directory at
  // page 2, the sessions file and an empty table list. A failure removes
  // the file again.
  static void CreateDatabase(const std::string& file_name, const TABSPassword& password,
                             const TABSDatabaseFileSettings& settings = {});

  // Binds to a file; the first session to connect opens it.
  TABSDiskDatabaseData(std::string file_name, TABSPassword password, bool read_only = false);
  ~TABSDiskDatabaseData() override;

  TABSDiskPageManager& DiskPageManager() { return page_manager_; }
  int32_t MaxConnections() const { return sessions_file_.MaxConnections(); }
  const TABSDatabaseFileSettings& Settings() const { return settings_; }
  TABSActiveSessionsFile& SessionsFile() { return sessions_file_; }
  // The lock manager while the file is open in multi-user mode, else none.
  TABSDatabaseTableLockManager* LockManager() { return lock_manager_.get(); }
  // How lock requests wait; set before the first session connects (tests).
  void SetLockPacing(TABSLockPacing pacing) { pacing_ = std::move(pacing); }

  void ConnectSession(TABSBaseSession& session) override;
  void DisconnectSession(TABSBaseSession& session) override;
  bool ReleaseIfUnused() override;
  // The users' tables of the file, in creation order (hidden ones left out).
  std::vector<std::string> GetTableNames() override;
  bool TableExists(std::string_view table_name) override;
  void OpenStorage() override;
  TABSTableData* CreateTableObject(TABSCursor& cursor) override;
  int32_t NextObjectNumber() override;
  void CommitTransaction(int32_t session, bool flush) override;
  void RollbackTransaction(int32_t session) override;

  // The table list as the file has it now.
  TABSTableList TableList();

  // Table life cycle. Creating, deleting and renaming commit the system
  // session; emptying commits the cursor's session and is refused inside a
  // transaction.
  void CreateTable(std::string_view name, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                   const TABSConstraintDefs& constraints);
  // Creates the table, or replaces the one of that name in the same change,
  // so that the old table goes only with its replacement written. The
  // session takes the old table's exclusive lock while it works on it.
  void ReplaceTable(TABSBaseSession& session, std::string_view name, const TABSFieldDefs& fields,
                    const TABSIndexDefs& indexes, const TABSConstraintDefs& constraints);
  // Creates a hidden table (see table_list_file.h) and returns its name.
  std::string CreateHiddenTable(const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                                const TABSConstraintDefs& constraints);
  // Gives a filled hidden table the target's name in one commit of the
  // system session, in which a table of that name is deleted (so that the
  // name holds the old table or the new one, and nothing of the old one is
  // left behind), and each auto-increment counter of the hidden table rises
  // to its floor (by field number; 0 leaves it). With
  // `expected_change_counter` at 0 or more, the old table must still be at
  // that change counter: a table changed since it was copied is kept, and
  // the swap refused. Neither table may be open.
  void SwapHiddenTable(TABSBaseSession& session, std::string_view hidden, std::string_view target,
                       const std::vector<int64_t>& autoinc_floors, int64_t expected_change_counter = -1);
  // The session takes the table's exclusive lock while it works on it.
  void DeleteTable(TABSBaseSession& session, std::string_view name);
  void RenameTable(TABSBaseSession& session, std::string_view old_name, std::string_view new_name);
  void EmptyTable(TABSCursor& cursor);
  // Writes a table's changed definitions and commits them; a failure
  // rereads them from the file.
  void RestructureTable(TABSDiskTableData& table);
  // Adds an index to the cursor's open table, builds it over the committed
  // records and commits it with the definitions; refused inside a
  // transaction. A failure leaves the table as it was.
  TABSIndexDef* AddIndex(TABSCursor& cursor, std::unique_ptr<TABSIndexDef> index);
  // Drops an index of the cursor's open table (its tree, its definition
  // and the constraint it carries) and commits the definitions; refused
  // inside a transaction. A failure leaves the table as it was.
  void DeleteIndex(TABSCursor& cursor, int32_t index_object_id);
  // Drops several indexes of the cursor's open table as one change.
  void DeleteIndexes(TABSCursor& cursor, const std::vector<int32_t>& index_object_ids);

  // Whether record pages are checked for their owner and type before use
  // (multi-user files that keep page owners). Compacting a file switches
  // the check off while it copies every table.
  void SetRecordPageCheckOff(bool off);
  bool RecordPageCheckOff() const { return record_page_check_off_; }

  // Opens the cursor's table (the first cursor loads it); closing the last
  // cursor frees the table object.
  TABSDiskTableData* OpenTable(TABSCursor& cursor);
  void CloseTable(TABSCursor& cursor);

  // A session's table and record locks on a table, through the lock
  // manager in multi-user mode, granted at once otherwise. A read-only
  // process holds read locks only: an exclusive request takes the shared
  // lock, and the write types are refused.
  bool LockTable(TABSDiskTableData& table, int32_t session, TABSLockType type, TABSLockWait wait);
  void UnlockTable(TABSDiskTableData& table, int32_t session, TABSLockType type);
  bool LockRecord(TABSDiskTableData& table, int32_t session, const TABSRecordId& id, TABSLockWait wait);
  bool UnlockRecord(TABSDiskTableData& table, int32_t session, const TABSRecordId& id);
  bool HoldsRecordLock(TABSDiskTableData& table, int32_t session, const TABSRecordId& id);
  // Keeps a table's locks file bound while its table object lives.
  void AttachTableLocks(int32_t locks_page);
  void DetachTableLocks(int32_t locks_page) noexcept;

 private:
  class TableListLock;
  class SystemChange;
  class ExclusiveTableLock;

  void CloseStorage() noexcept;
  // Creates a table of a checked name and commits it.
  void CreateNamedTable(int32_t object_id, std::string_view name, const TABSFieldDefs& fields, const TABSIndexDefs& indexes,
                        const TABSConstraintDefs& constraints);
  void CheckOpen() const;
  void CheckWritable(std::string_view operation) const;
  // The list on file: reread whenever another process may have changed it.
  TABSTableList CurrentTableList();

  // A table object of the file's table of that name, nothing read yet.
  std::unique_ptr<TABSDiskTableData> MakeTableObject(std::string_view name);
  // The lock a cursor's opening takes, and its release on a way out.
  static TABSLockType OpenLockType(const TABSCursor& cursor);
  void UnlockQuietly(TABSDiskTableData& table, int32_t session, TABSLockType type) noexcept;
  // Gives back a session's pages and lets every open table reread what it
  // caches about them; raises (changing nothing else) when the pages
  // cannot be given back.
  void RollbackPages(int32_t session);

  std::string file_name_;
  TABSPassword password_;
  bool read_only_requested_;
  TABSDatabaseFileSettings settings_;
  TABSDiskPageManager page_manager_;
  TABSSystemDirectory system_directory_;
  TABSActiveSessionsFile sessions_file_;
  TABSTableListFile table_list_;
  bool needs_repair_ = false;
  bool holds_single_user_lock_ = false;
  bool record_page_check_off_ = false;
  TABSLockPacing pacing_;
  std::unique_ptr<TABSDatabaseTableLockManager> lock_manager_;
};

}  // namespace kelvorin
