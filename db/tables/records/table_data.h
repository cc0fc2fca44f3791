// TABSTableData: one object per table open in the process, shared by every
// cursor open on that table. It ties four managers together: the field
// manager (layout, field access, defaults, auto-increment), the index
// manager (the index trees), the constraint manager and the storage's
// record manager; and it runs the table's writes: insert, update and delete
// (table_post.h), emptying, and indexes added later. The disk, memory and
// temporary tables derive from it and supply the storage: the record
// manager, the BLOB values, the state block.
//
// Every operation runs inside the table's critical section.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/storage/locks/lock_types.h"
#include "db/tables/btree/record_id.h"
#include "db/tables/metadata/table_metadata.h"
#include "db/tables/records/constraint_manager.h"
#include "db/tables/records/cursor.h"
#include "db/tables/records/field_manager.h"
#include "db/tables/records/index_manager.h"
#include "db/tables/records/table_post.h"
#include "db/tables/records/table_state.h"

namespace kelvorin {

class TABSDatabaseData;
class TABSPageManager;
class TABSTableLockHold;
class TABSBaseRecordManager;
class TABSBlobManager;
struct TABSBlobStore;

class TABSTableData {
 public:
  TABSTableData(TABSDatabaseData& database, std::string name, TABSPageManager* page_manager);
  virtual ~TABSTableData();
  TABSTableData(const TABSTableData&) = delete;
  TABSTableData& operator=(const TABSTableData&) = delete;

  // Serialises all work on the table within the process.
  std::recursive_mutex& CriticalSection() { return critical_section_; }
  TABSDatabaseData& Database() const { return *database_; }
  TABSPageManager* PageManager() const { return page_manager_; }
  const std::string& Name() const { return name_; }

  TABSTableMetadata& Metadata() { return metadata_; }
  const TABSTableMetadata& Metadata() const { return metadata_; }
  const TABSTableState& State() const { return state_; }
  int64_t RecordCount() const { return state_.record_count; }
  int32_t ChangeCounter() const { return state_.change_counter; }
  // Raised whenever the state is taken back to an earlier version (a
  // rollback), so that with the change counter it tells whether what a
  // cursor keeps about the table (filter bitmaps, positions) is current.
  uint32_t StateGeneration() const { return state_generation_; }
  // Rereads the state block when another process may have changed it.
  void RefreshSharedState(int32_t session) {
    if (Shared()) ReadState(session);
  }

  // The storage's record manager; none while the table holds no storage.
  virtual TABSBaseRecordManager* RecordManager() { return nullptr; }
  // The storage's BLOB manager; none for storage without BLOB values.
  virtual TABSBlobManager* BlobManager() { return nullptr; }
  // The managers, once the storage has built them.
  bool HasManagers() const { return field_manager_ != nullptr; }
  TABSBaseFieldManager& FieldManager() { return *field_manager_; }
  TABSBaseIndexManager& IndexManager() { return *index_manager_; }
  TABSBaseConstraintManager& ConstraintManager() { return *constraint_manager_; }
  const TABSRecordFields& RecordFields() const { return field_manager_->RecordFields(); }

  const std::vector<TABSCursor*>& Cursors() const { return cursors_; }
  void AddCursor(TABSCursor& cursor);
  void RemoveCursor(TABSCursor& cursor);

  // A new memory record: every field NULL, then the defaults when asked.
  void InitRecord(TABSBaseSession& session, uint8_t* record, bool apply_defaults);

  // The writes of one record (see table_post.h). A memory record of the
  // table's memory record size; `id`: the record's identifier (update,
  // delete); `before_image`: the record as the caller read it (update: the
  // stored version must still equal it, or the result is -4; delete: -5).
  TABSPostResult InsertRecord(TABSBaseSession& session, uint8_t* record);
  TABSPostResult UpdateRecord(TABSBaseSession& session, TABSRecordId id, uint8_t* record,
                              const uint8_t* before_image);
  TABSPostResult DeleteRecord(TABSBaseSession& session, TABSRecordId id, const uint8_t* before_image);

  // Reads a record as the session sees it; false when there is none.
  bool ReadRecord(int32_t session, TABSRecordId id, uint8_t* record);
  // Visits every record in storage order (a memory record, valid for the
  // call only).
  void ForEachRecord(int32_t session, const std::function<void(TABSRecordId, const uint8_t*)>& visit);

  // Empties every index, deletes every BLOB and record and resets the
  // auto-increment values (the change counter is raised, never reset).
  void EmptyTable(int32_t session);
  // Adds an index to the table and builds it over the records in the
  // session (a unique or primary one derives its constraint); a failed
  // build leaves the table as it was. The caller writes the definitions.
  TABSIndexDef* AddIndex(int32_t session, std::unique_ptr<TABSIndexDef> index);
  // Takes an index's definition (and its constraint) back, its tree left to
  // the caller's rollback.
  void ForgetIndex(int32_t object_id);
  // A temporary index of the session for an ordering, built at once; it
  // lives until the last cursor closes the table. Returns its definition.
  TABSIndexDef* AddTemporaryIndex(int32_t session, const std::vector<std::string>& field_names,
                                  const std::vector<std::string>& directions,
                                  const std::vector<std::string>& case_options);
  // Rebuilds a temporary index that is older than the table.
  void RefreshTemporaryIndex(int32_t session, TABSIndexDef& definition);

  // Each auto-increment counter moves on to its floor when that lies
  // beyond it in the direction of counting (by field number; a floor of 0
  // leaves it), and the state is written in the session.
  void RaiseAutoIncValues(int32_t session, const std::vector<int64_t>& floors);
  // For a table that one holder fills and abandons whole at the first
  // refused record: posts inside a transaction then take no statement
  // savepoint of their own (no page images), and a refused post rolls back
  // the whole transaction instead of itself alone.
  void SetPostsAllOrNothing(bool all_or_nothing) { posts_all_or_nothing_ = all_or_nothing; }
  // Called by the database after a session's pages were rolled back, so that
  // what is cached about them returns to the committed values.
  virtual void RollbackHook(int32_t session);

  // Table and record locks between processes, held by a session. A disk
  // table of a multi-user database takes them in its locks file; every
  // other table grants them at once. A lock that cannot be had within the
  // wait reports false; releasing one that is not held raises.
  virtual bool LockTable(int32_t session, TABSLockType type, TABSLockWait wait);
  virtual void UnlockTable(int32_t session, TABSLockType type);
  virtual bool LockRecord(int32_t session, const TABSRecordId& id, TABSLockWait wait);
  virtual bool UnlockRecord(int32_t session, const TABSRecordId& id);
  // Whether the session holds the lock of that record (its edit took it).
  virtual bool HoldsRecordLock(int32_t session, const TABSRecordId& id);

 protected:
  void SetName(std::string name) { name_ = std::move(name); }
  TABSTableState& MutableState() { return state_; }

  // Builds the field, index and constraint managers over the definitions
  // (their layout computed) and the record manager of the storage.
  void InitManagers();
  // Where the table's temporary indexes keep their trees.
  virtual TABSPageManager* TemporaryIndexPages() { return nullptr; }
  // Forgets what the storage's managers cache about the session's pages
  // (they were rolled back, whole or a statement of them).
  virtual void PagesRolledBack(int32_t session);
  // Drops the temporary indexes (the last cursor closed the table).
  void DropTemporaryIndexes() noexcept;

  // The state block of the storage: reread (it may have changed since) and
  // written after every change.
  virtual void ReadState(int32_t session);
  virtual void WriteState(int32_t session);
  // Whether another process may change the table (the state is then reread
  // before every write).
  virtual bool Shared() const { return false; }

  // Removes every record and every BLOB of the table in the session (the
  // table stays, with its indexes emptied by the caller). A table without a
  // record manager holds nothing to remove.
  virtual void DeleteAllRecords(int32_t session);
  virtual void DeleteAllBlobs(int32_t session);


 private:
  class PostScope;

  // The refusals of an update or delete once its locks are held (the record
  // gone or changed since it was read); reads the stored version.
  TABSPostCode ReadForChange(int32_t session, TABSRecordId id, const uint8_t* before_image, uint8_t* old_record,
                             TABSPostCode deleted, TABSPostCode modified);
  // A post that changed everything it had to: the state is written, the
  // post kept or committed, the record's written BLOB values stored.
  void Posted(PostScope& scope, uint8_t* record, const TABSBlobStore* store, int32_t old_counter);

  // BLOB values of a post (new values are stored before the record, the
  // ones they replace deleted after it is written): an update keeps no
  // reference to a value that is not its own.
  void CheckBlobReferences(const uint8_t* record, const uint8_t* old_record, const TABSBlobStore& store) const;
  // The write lock of a post: in a transaction the transaction's own, kept
  // until it ends; outside one a write lock for the post.
  TABSLockType WriteLockType(int32_t session) const;
  void KeepTransactionLock(int32_t session, TABSTableLockHold& hold) const;
  void DeleteReplacedBlobs(int32_t session, const uint8_t* old_record, const uint8_t* new_record);
  // Takes the record manager's counters into the state and writes it.
  void SaveState(int32_t session);
  TABSBaseRecordManager& Records();

  std::recursive_mutex critical_section_;
  TABSDatabaseData* database_;
  std::string name_;
  TABSPageManager* page_manager_;
  TABSTableMetadata metadata_;
  TABSTableState state_;
  uint32_t state_generation_ = 0;
  std::vector<TABSCursor*> cursors_;
  std::unique_ptr<TABSBaseFieldManager> field_manager_;
  std::unique_ptr<TABSBaseIndexManager> index_manager_;
  std::unique_ptr<TABSBaseConstraintManager> constraint_manager_;
  // What a post restores when it fails: the caller's record and the state.
  TABSMemoryBlock saved_record_;
  TABSTableState saved_state_;
  bool posts_all_or_nothing_ = false;
};

}  // namespace kelvorin
